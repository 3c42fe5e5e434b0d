#include "engine/restore/PasswordRetry.h"

#include "engine/archive/RarExitCode.h"
#include "engine/archive/ZipOperator.h"

namespace zov {
namespace {

bool AsksAgain(int code) { return code == kRarDamaged || code == kRarWrongPassword; }

}  // namespace

std::string PasswordPrompt(const std::string& itemPath) {
    return itemPath +
           "\n还原操作解压密码不正确或者压缩文件已经损坏："
           "\n点击“确定”将以新密码重新解压"
           "\n点击“取消”将放弃解压";
}

int ExtractWithPasswordRetry(const RestoreExtract& extract, const std::string& rarPath, std::string& message,
                             const JobContext& job) {
    CZipOperator zip(rarPath, job.stop);
    auto run = [&](const std::string& password) {
        return extract.filter != nullptr
                   ? zip.ExtractFolder(extract.archive, extract.destination, password, *extract.filter)
                   : zip.ExtractFile(extract.archive, extract.destination, password);
    };
    int code = run(extract.password);
    for (int prompts = 0; AsksAgain(code) && prompts < kPasswordPrompts && !job.stop.stop_requested();
         ++prompts) {
        const PasswordAnswer answer = job.asker.AskPassword(PasswordPrompt(extract.itemPath));
        if (answer.cancelled) break;
        code = run(answer.password);
    }
    message = zip.message();
    return code;
}

}  // namespace zov

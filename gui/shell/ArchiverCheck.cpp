#include "gui/shell/ArchiverCheck.h"

#include <QString>

#include "engine/archive/ZipOperatorLookup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/Prompter.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr const char* kRarSection = "SYSTEM";
constexpr const char* kRarKey = "rar_path";

}  // namespace

bool FindArchiver(QWidget* owner, bool askWhenMissing) {
    const std::string path = GetRarPath();
    if (!path.empty() && IsRegularFile(path)) {
        IniFile(TempIniPath()).Write(kRarKey, kRarSection, path);
        return true;
    }
    if (askWhenMissing) {
        const QString text =
            "未获取到 rar.exe 安装路径，无法执行压缩任务。\n\n点击“确定”前往下载rar.exe并放到：" +
            QString::fromStdString(ProgramDir() + "rar");
        if (ShowBox(owner, text, "警告", Prompter::Icon::Warning, Prompter::Buttons::OkCancel) ==
            Prompter::Answer::Ok)
            OpenWebAddress(RarDownloadPage(), owner);
    }
    return false;
}

}  // namespace zov::gui

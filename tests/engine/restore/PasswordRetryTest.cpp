#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/archive/RarExitCode.h"
#include "engine/archive/ZipOperator.h"
#include "engine/restore/PasswordRetry.h"
#include "support/InstalledClock.h"
#include "support/RecordingJob.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;
using Tree = std::map<std::string, std::string>;

constexpr const char* kRight = "right pass";
const Tree kSource{{"notes.txt", "notes"}, {"scratch.tmp", "scratch"}};

PasswordAnswer Typed(const std::string& password) { return {password, false}; }
PasswordAnswer Cancel() { return {"", true}; }

// An archive "set.rar" of src/ with the password kRight, extracted through a wrapper that counts the
// archiver's runs and then becomes the real stand-in archiver of the build. The clock does not move by
// itself, so the driver's pause after a failed run returns at once.
class PasswordRetryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string rar = test::BuiltProgram("rar");
        WriteFile(dir_ / "src/notes.txt", "notes");
        WriteFile(dir_ / "src/scratch.tmp", "scratch");
        ASSERT_TRUE(CZipOperator(rar).CompressFolder(dir_ / "src/", dir_.path(), kRight, "set"));
        WriteFile(wrapper_, "#!/bin/sh\necho run >> \"$(dirname \"$0\")/runs\"\nexec '" + rar + "' \"$@\"\n");
        ::chmod(wrapper_.c_str(), 0755);
    }

    int Runs() const { return static_cast<int>(ReadFile(dir_ / "wrap/runs").size() / 4); }
    RestoreExtract Extract(const std::string& archive, const std::string& password) const {
        return {dir_ / archive, dir_ / "restored/", password, nullptr, dir_ / "bak/2024-03-05/set"};
    }

    test::TempProgramDir dir_;
    test::InstalledClock clock_{MakeLocalTime(2024, 3, 5, 14, 7, 9)};
    const std::string wrapper_ = dir_ / "wrap/rar";
};

TEST(PasswordPrompt, NamesTheItem) {
    EXPECT_EQ(
        PasswordPrompt("/bak/2024-03-05/docs_20240305140709.rar"),
        "/bak/2024-03-05/docs_20240305140709.rar\n"
        "还原操作解压密码不正确或者压缩文件已经损坏：\n点击“确定”将以新密码重新解压\n点击“取消”将放弃解压");
}

TEST_F(PasswordRetryTest, AsksAgainWhileThePasswordIsWrong) {
    struct Case {
        std::string what;
        std::string password;
        std::deque<PasswordAnswer> answers;
        int prompts, runs, code;
    };
    const Case cases[] = {
        {"right at once", kRight, {Typed("unused")}, 0, 1, kRarSuccess},
        {"none given, right on the first prompt", "", {Typed(kRight)}, 1, 2, kRarSuccess},
        {"right on the second prompt", "wrong", {Typed("still wrong"), Typed(kRight)}, 2, 3, kRarSuccess},
        {"cancel stops at once", "wrong", {Cancel(), Typed(kRight)}, 1, 1, kRarWrongPassword},
        {"cancel after a wrong answer",
         "wrong",
         {Typed("x"), Cancel(), Typed(kRight)},
         2,
         2,
         kRarWrongPassword},
        {"three wrong answers stop after the fourth extract",
         "wrong",
         {Typed("a"), Typed("b"), Typed("c"), Typed(kRight)},
         3,
         4,
         kRarWrongPassword},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir_ / "restored");
        fs::remove(dir_ / "wrap/runs");
        test::RecordingJob job(c.answers);
        std::string message;
        EXPECT_EQ(ExtractWithPasswordRetry(Extract("set.rar", c.password), wrapper_, message, job.Context()),
                  c.code)
            << c.what << ": " << message;
        EXPECT_EQ(job.asker.Prompts(),
                  std::vector<std::string>(c.prompts, PasswordPrompt(dir_ / "bak/2024-03-05/set")))
            << c.what;
        EXPECT_EQ(Runs(), c.runs) << c.what;
        const Tree expected = c.code == kRarSuccess ? kSource : Tree{};
        EXPECT_EQ(test::ReadTree(dir_ / "restored/src"), expected) << c.what;
        EXPECT_EQ(message.find("wrong"), std::string::npos) << c.what;
        EXPECT_TRUE(job.status.Lines().empty()) << c.what;
    }
}

TEST_F(PasswordRetryTest, ADamagedArchiveAsksAsOftenAndFails) {
    const std::string archive = ReadFile(dir_ / "set.rar");
    WriteFile(dir_ / "damaged.rar", archive.substr(0, archive.size() / 2));
    test::RecordingJob job({Typed(kRight), Typed(kRight), Typed(kRight), Typed(kRight)});
    std::string message;
    EXPECT_EQ(ExtractWithPasswordRetry(Extract("damaged.rar", kRight), wrapper_, message, job.Context()),
              kRarDamaged);
    EXPECT_EQ(job.asker.Prompts().size(), 3u);
    EXPECT_EQ(Runs(), 4);
    EXPECT_NE(message.find("校验和无效,压缩文件已经损坏"), std::string::npos) << message;
}

TEST_F(PasswordRetryTest, AFilterSetExtractsWithIt) {
    const FilterSet filter{true, {"*.tmp"}};
    RestoreExtract extract = Extract("set.rar", "wrong");
    extract.filter = &filter;
    test::RecordingJob job({Typed(kRight)});
    std::string message;
    ASSERT_EQ(ExtractWithPasswordRetry(extract, wrapper_, message, job.Context()), kRarSuccess) << message;
    EXPECT_EQ(test::ReadTree(dir_ / "restored/src"), (Tree{{"notes.txt", "notes"}}));
    EXPECT_EQ(Runs(), 2);
}

// The stop arrives while the user is asked: the answer is not tried.
TEST_F(PasswordRetryTest, AStopDuringThePromptEndsIt) {
    test::RecordingJob job({Typed(kRight), Typed(kRight)});
    job.asker.SetHook([&] { job.stop.request_stop(); });
    std::string message;
    EXPECT_NE(ExtractWithPasswordRetry(Extract("set.rar", "wrong"), wrapper_, message, job.Context()),
              kRarSuccess);
    EXPECT_EQ(job.asker.Prompts().size(), 1u);
    EXPECT_EQ(Runs(), 1);
    EXPECT_EQ(test::ReadTree(dir_ / "restored/src"), Tree{});
}

}  // namespace
}  // namespace zov

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "RestoreTestSupport.h"
#include "engine/restore/PasswordRetry.h"
#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "engine/restore/RestoreWithOptions.h"

namespace zov {
namespace {

using namespace test;

PasswordAnswer Typed(const std::string& password) { return {password, false}; }
PasswordAnswer Cancel() { return {"", true}; }

class RestoreFailure : public RestoreTest {
  protected:
    // The archiver through a wrapper that counts its runs.
    void CountRuns() {
        WriteFile(wrapper_,
                  "#!/bin/sh\necho run >> \"$(dirname \"$0\")/runs\"\nexec '" + rar_ + "' \"$@\"\n");
        ::chmod(wrapper_.c_str(), 0755);
        rar_ = wrapper_;
    }
    int Runs() const { return static_cast<int>(ReadFile(program_ / "wrap/runs").size() / 4); }

    const std::string wrapper_ = program_ / "wrap/rar";
};

TEST_F(RestoreFailure, PasswordPromptsGoThroughTheAsker) {
    const std::string set = WriteBase(SetKind::WithPassword);
    CountRuns();
    struct Case {
        std::string what;
        std::deque<PasswordAnswer> answers;
        int prompts, runs;
        bool restored;
    };
    const Case cases[] = {
        {"right answer on the second prompt", {Typed("wrong 1"), Typed("s3cret pass")}, 2, 3, true},
        {"cancel stops with no further extract", {Cancel(), Typed("s3cret pass")}, 1, 1, false},
        {"three wrong answers stop after the fourth extract",
         {Typed("wrong 1"), Typed("wrong 2"), Typed("wrong 3"), Typed("s3cret pass")},
         3,
         4,
         false},
        {"an empty answer is tried without a password", {Typed(""), Cancel()}, 2, 2, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(target_);
        std::filesystem::remove(program_ / "wrap/runs");
        RecordingJob job(c.answers);
        checked_.clear();
        const RestoreOwner owner{task_, checked_, rar_, job.Context()};
        std::string message;
        // Nothing may wait for a password that never comes.
        auto restore = std::async(std::launch::async, [&] {
            return RestoreItem(owner, set, target_, message, false, "wrong 0", false);
        });
        ASSERT_EQ(restore.wait_for(std::chrono::seconds(60)), std::future_status::ready) << c.what;
        EXPECT_EQ(restore.get(), c.restored) << c.what << ": " << message;
        EXPECT_EQ(job.asker.Prompts(), std::vector<std::string>(c.prompts, PasswordPrompt(set))) << c.what;
        EXPECT_EQ(Runs(), c.runs) << c.what;
        EXPECT_EQ(message.empty(), c.restored) << c.what;
        EXPECT_EQ(message.find("wrong"), std::string::npos) << c.what;
        EXPECT_EQ(message.find("s3cret"), std::string::npos) << c.what;
    }
    // One record per restore, no password in any.
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& columns : lines) {
        for (const std::string& column : columns) {
            EXPECT_EQ(column.find("wrong"), std::string::npos) << column;
            EXPECT_EQ(column.find("s3cret"), std::string::npos) << column;
        }
    }
}

TEST_F(RestoreFailure, EveryFailureHasItsText) {
    const std::string base = WriteBase(SetKind::Compressed);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    const std::string orphan = storage_ + "diff/docs_20230101010101/20230102010101";
    std::filesystem::create_directories(orphan);
    WriteFile(program_ / "plain", "a file");
    WriteFile(program_ / "set.zip", "not an archive");
    struct Case {
        std::string what;
        std::function<bool(const RestoreOwner&, std::string&)> restore;
        std::string text;
    };
    const std::string blocked = program_ / "plain/under";
    const std::string vanished = storage_ + "2024-03-01/docs_20240301020000.rar";
    const Case cases[] = {
        {"target cannot be made",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItem(o, base, blocked, m, false, "", false);
         },
         "还原时，目标文件夹" + blocked + "无法创建，错误号（20）"},
        {"relative target",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItem(o, base, "rel/", m, false, "", false);
         },
         "还原时，目标文件夹rel/无法创建，错误号（22）"},
        {"item vanished",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItem(o, vanished, target_, m, false, "", false);
         },
         "还原项" + vanished + "不存在"},
        {"differential item vanished",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItemTree(o, entry + "x", target_, m, false, "", false);
         },
         "还原项" + entry + "x不存在"},
        {"no base found",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItemTree(o, orphan, target_, m, false, "", false);
         },
         "还原时，未找到差异文件" + orphan + "的基准库"},
        {"missing base",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreWithOptions(o, entry, target_, base + "x", m, "", false);
         },
         "还原时，基础文件（夹）" + base + "x不存在"},
        {"no checked item",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItem(o, base, target_, m, true, "", false);
         },
         "未选择还原项，无法进行还原。"},
        {"neither folder nor archive",
         [&](const RestoreOwner& o, std::string& m) {
             return RestoreItem(o, program_ / "set.zip", target_, m, false, "", false);
         },
         "还原项" + (program_ / "set.zip") + "只能为文件夹或rar压缩文件"},
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_FALSE(c.restore(Owner(), message)) << c.what;
        EXPECT_EQ(message, c.text) << c.what;
    }
    // Only the last got as far as the restore itself.
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0][5], program_ / "set.zip");
    EXPECT_EQ(LogLines()[0][8], "失败");

    rar_ = program_ / "missing/rar";
    std::string message;
    EXPECT_FALSE(RestoreItem(Owner(), base, target_, message, false, "", false));
    EXPECT_EQ(message, "还原时，解压程序" + rar_ + "不存在");
}

// A file that cannot be written fails the restore; what was written stays.
TEST_F(RestoreFailure, AFileThatCannotBeWrittenFailsTheRestore) {
    for (SetKind kind : {SetKind::Copied, SetKind::Compressed}) {
        std::filesystem::remove_all(storage_);
        std::filesystem::remove_all(target_);
        const std::string set = WriteBase(kind);
        WriteFile(target_ + "docs/a.txt/blocker", "a folder where a file belongs");
        std::string message;
        EXPECT_FALSE(RestoreItem(Owner(), set, target_, message, false, "", false)) << KindName(kind);
        EXPECT_FALSE(message.empty()) << KindName(kind);
        EXPECT_EQ(ReadFile(target_ + "docs/sub/deep/c.txt"), "charlie") << KindName(kind);
        EXPECT_EQ(LogLines().back()[8], "失败") << KindName(kind);
    }
}

// The user answers No after a failed base: the entry is not laid.
TEST_F(RestoreFailure, AFailedBaseAsksWhetherToGoOn) {
    WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    WriteFile(program_ / "bad.rar", "not an archive");
    std::string message;
    EXPECT_FALSE(RestoreWithOptions(Owner(), entry, target_, program_ / "bad.rar", message, "", false));
    ASSERT_EQ(job_.asker.Prompts().size(), 1u);
    EXPECT_EQ(job_.asker.Prompts()[0],
              std::string(kContinueCaption) + ": " + ContinueAfterBaseQuestion(message));
    EXPECT_FALSE(std::filesystem::exists(target_ + "docs/fresh/n.txt"));  // No: the entry is not laid
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0][8], "失败");
}

// Yes after a failed base: the entry is laid, and the restore still fails with the base's text.
TEST_F(RestoreFailure, GoingOnAfterAFailedBaseStillFails) {
    struct YesAsker : ScriptedAsker {
        bool AskYesNo(const std::string&, const std::string&) override { return true; }
    } yes;
    WriteBase(SetKind::Copied);
    ChangeSource();
    const std::string entry = WriteDifferential(SetKind::Copied);
    WriteFile(program_ / "bad.rar", "not an archive");
    const RestoreOwner owner{task_, checked_, rar_, {job_.status, yes, {}}};
    std::string message;
    EXPECT_FALSE(RestoreWithOptions(owner, entry, target_, program_ / "bad.rar", message, "", false));
    EXPECT_NE(message.find("使用winrar时发生内部错误"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(target_ + "docs/fresh/n.txt"), "fresh");
    EXPECT_EQ(LogLines().back()[8], "失败");
}

TEST_F(RestoreFailure, OneRecordPerRestoredItem) {
    const std::string set = WriteBase(SetKind::WithPassword);
    std::string message;
    ASSERT_TRUE(RestoreItem(Owner(), set, target_, message, false, "s3cret pass", false)) << message;
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> expected{
        "文件日志", "2024-03-05 14:07:09", "12", "-", "还原", set, target_, "0秒", "成功", ""};
    EXPECT_EQ(lines[0], expected);
}

}  // namespace
}  // namespace zov

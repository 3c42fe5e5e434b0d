#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "engine/archive/ZipOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLocal.h"
#include "support/ScheduleMinute.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"
#include "support/WaitUntil.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Tree = std::map<std::string, std::string>;
using test::ReadTree;

constexpr const char* kServiceName = "ZovSvcx";

using test::WaitUntil;

// The real service in a program folder of its own, run by the local service backend.
class FileBackupServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : {"zovsvc", "rar"}) {
            fs::copy_file(test::BuiltProgram(program), program_ / program);
        }
        test::WriteFile(program_ / "src/a.txt", "alpha");
        test::WriteFile(program_ / "src/文档/b.txt", "bravo");
        std::mt19937 generator(3);
        std::string noise(3 * 1024 * 1024, '\0');
        for (char& byte : noise) byte = static_cast<char>(generator());
        test::WriteFile(program_ / "src/noise.bin", noise);
        fs::create_directories(program_ / "bak");
        manager_ = std::make_unique<LocalServiceManager>(program_ / "run/services/");
    }

    void TearDown() override {
        if (!manager_) return;
        manager_->Stop(kServiceName);
        EXPECT_TRUE(WaitUntil([&] { return manager_->GetState(kServiceName) == kServiceStopped; }, 20s));
        manager_->Remove(kServiceName);
    }

    // A scheduled file task of program/src stored at program/bak/<name>.
    TaskInfo Task(const std::string& name, int flags, const std::string& time) const {
        TaskInfo task;
        task.name = name;
        task.flags = flags;
        task.source = program_ / "src/";
        task.dest = program_ / ("bak/" + name);
        task.times = time;
        return task;
    }

    // The file log lines of a task.
    std::vector<std::string> LogLines(const std::string& date, int id) const {
        std::vector<std::string> lines;
        std::istringstream text(test::ReadFile(program_ / ("Log/Files/" + date + ".log")));
        for (std::string line; std::getline(text, line);) {
            if (line.starts_with("文件日志\t") &&
                line.find("\t" + std::to_string(id) + "\t") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // The only entry of a dated folder, checked to be "src_" + 14 digits + suffix.
    static std::string OnlyBackup(const std::string& dated, const std::string& suffix) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dated)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(suffix) || suffix.empty()) names.push_back(name);
        }
        EXPECT_EQ(names.size(), 1u) << dated;
        if (names.size() != 1) return "";
        const std::string stamp = names[0].substr(4, 14);
        EXPECT_TRUE(names[0].starts_with("src_")) << names[0];
        EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << names[0];
        EXPECT_EQ(names[0].substr(18), suffix) << names[0];
        return dated + names[0];
    }

    void StartService() {
        ServiceConfig config;
        config.name = kServiceName;
        config.displayName = kServiceName;
        config.command = {program_ / "zovsvc"};
        ASSERT_TRUE(manager_->Install(config));
        ASSERT_TRUE(manager_->Start(kServiceName));
        ASSERT_TRUE(WaitUntil([&] { return manager_->GetState(kServiceName) == kServiceRunning; }, 10s));
    }

    test::TempProgramDir program_;
    std::unique_ptr<LocalServiceManager> manager_;
};

// The entries of a folder whose names begin with prefix.
std::vector<std::string> EntriesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A differential compressed task scheduled in two minutes in a row (the source changed in between) and a
// per-sub-folder differential task with three sub-folders.
TEST_F(FileBackupServiceTest, DifferentialAndPerSubfolderTasks) {
    const std::time_t minute = test::ScheduleMinute();
    const std::string first = FormatLocalTime(minute, "%H:%M");
    const std::string second = FormatLocalTime(minute + 60, "%H:%M");
    const std::string date = FormatLocalTime(minute, "%Y-%m-%d");
    ASSERT_EQ(FormatLocalTime(minute + 60, "%Y-%m-%d"), date) << "too close to midnight";

    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    TaskInfo diff = Task("diff", kTaskFile | kTaskCompress | kTaskScheduled, first + " " + second);
    diff.diff = true;
    diff.basePeriod = 7;
    diff.password = "差异 pass";
    TaskInfo parts = Task("parts", kTaskFile | kTaskCompress | kTaskScheduled, first);
    parts.diff = true;
    parts.compress = 1;
    parts.basePeriod = 7;
    parts.source = program_ / "tree/";
    for (const char* sub : {"one", "two", "three"}) {
        test::WriteFile(program_ / (std::string("tree/") + sub + "/f.txt"), sub);
    }
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, diff, true, false));
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, parts, true, false));
    StartService();

    const IniFile temp(TempIniPath());
    auto succeeded = [&](const TaskInfo& task) {
        return temp.Read("TIME_" + std::to_string(task.id), "SUCCEED");
    };
    ASSERT_TRUE(WaitUntil([&] { return !succeeded(diff).empty() && !succeeded(parts).empty(); }, 30s));
    EXPECT_EQ(succeeded(parts), first);
    test::WriteFile(program_ / "src/a.txt", "alpha changed");
    fs::remove(program_ / "src/文档/b.txt");
    ASSERT_TRUE(WaitUntil([&] { return succeeded(diff) != first; }, 95s));
    EXPECT_EQ(succeeded(diff), first + " " + second);
    EXPECT_EQ(temp.Read("TIME_" + std::to_string(diff.id), "FAILED"), "");

    // The base, then the differential set of the changes against it.
    const std::string dated = diff.dest + "/" + date + "/";
    const std::vector<std::string> bases = EntriesStartingWith(dated, "src_");
    ASSERT_EQ(bases.size(), 1u);
    ASSERT_TRUE(bases[0].ends_with(".rar")) << bases[0];
    const std::string baseTitle = bases[0].substr(0, bases[0].size() - 4);
    const std::vector<std::string> sets = EntriesStartingWith(diff.dest + "/diff/" + baseTitle, "");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_TRUE(sets[0].ends_with(".rar") && sets[0].size() == 18) << sets[0];
    const std::vector<std::string> lines = LogLines(date, diff.id);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\t更新\t"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\t" + dated + bases[0] + "\t"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\t差异\t"), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("\t" + diff.dest + "/diff/" + baseTitle + "/" + sets[0] + "\t"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[1].find("\t成功\t"), std::string::npos) << lines[1];
    CZipOperator zip(program_ / "rar");
    ASSERT_EQ(
        zip.ExtractFile(diff.dest + "/diff/" + baseTitle + "/" + sets[0], program_ / "out", diff.password), 0)
        << zip.message();
    EXPECT_EQ(ReadTree(program_ / "out/src"),
              (Tree{{"a.txt", "alpha changed"}, {"文档/b.txtqel_temp_del~~~~", ""}}));

    // One base per sub-folder, all with the run's stamp, each with its record.
    const std::string partsDated = parts.dest + "/" + date + "/";
    const std::vector<std::string> partBases = EntriesStartingWith(partsDated, "");
    ASSERT_EQ(partBases.size(), 3u);
    const std::string stamp = partBases[0].substr(partBases[0].rfind('_') + 1, 14);
    EXPECT_EQ(partBases, (std::vector<std::string>{"one_" + stamp + ".rar", "three_" + stamp + ".rar",
                                                   "two_" + stamp + ".rar"}));
    for (const std::string& base : partBases) {
        const std::string sub = base.substr(0, base.find('_'));
        const std::string out = program_ / ("parts-out/" + sub);
        ASSERT_EQ(zip.ExtractFile(partsDated + base, out, ""), 0) << zip.message();
        EXPECT_EQ(ReadTree(out + "/" + sub), (Tree{{"f.txt", sub}}));
    }
    const std::vector<std::string> partLines = LogLines(date, parts.id);
    ASSERT_EQ(partLines.size(), 3u);
    for (const std::string& line : partLines) EXPECT_NE(line.find("\t更新\t"), std::string::npos) << line;
}

TEST_F(FileBackupServiceTest, TasksDueThisMinuteRunOnceAndExpiredSetsGo) {
    const std::time_t minute = test::ScheduleMinute();
    const std::string time = FormatLocalTime(minute, "%H:%M");
    const std::string date = FormatLocalTime(minute, "%Y-%m-%d");

    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    TaskInfo copy = Task("copy", kTaskFile | kTaskScheduled | kTaskKeepDays, time);
    copy.keepDays = 7;
    TaskInfo packed = Task("packed", kTaskFile | kTaskCompress | kTaskScheduled, time);
    packed.password = "口令 pass";
    packed.partial = 1;
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, copy, true, false));
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, packed, true, false));
    TaskInfo missing = Task("missing", kTaskFile | kTaskScheduled, time);
    missing.source = program_ / "gone/";
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, missing, true, false));
    test::WriteFile(copy.dest + "/2000-01-01/src_20000101000000/src/old.txt", "old");

    ServiceConfig config;
    config.name = kServiceName;
    config.displayName = kServiceName;
    config.command = {program_ / "zovsvc"};
    ASSERT_TRUE(manager_->Install(config));
    ASSERT_TRUE(manager_->Start(kServiceName));
    ASSERT_TRUE(WaitUntil([&] { return manager_->GetState(kServiceName) == kServiceRunning; }, 10s));

    const IniFile temp(TempIniPath());
    auto finished = [&](const TaskInfo& task) {
        return !temp.Read("TIME_" + std::to_string(task.id), "SUCCEED").empty() ||
               !temp.Read("TIME_" + std::to_string(task.id), "FAILED").empty();
    };
    ASSERT_TRUE(WaitUntil([&] { return finished(copy) && finished(packed) && finished(missing); }, 30s));
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(copy.dest + "/2000-01-01"); }, 15s));
    std::this_thread::sleep_for(11s);  // one more scheduler pass

    for (const TaskInfo& task : {copy, packed}) {
        EXPECT_EQ(temp.Read("TIME_" + std::to_string(task.id), "SUCCEED"), time) << task.name;
        EXPECT_EQ(temp.Read("TIME_" + std::to_string(task.id), "FAILED"), "") << task.name;
        EXPECT_EQ(temp.Read("TIME_" + std::to_string(task.id), "RUNNING"), "") << task.name;
        const std::vector<std::string> lines = LogLines(date, task.id);
        ASSERT_EQ(lines.size(), 1u) << task.name;
        EXPECT_NE(lines[0].find("\t成功\t"), std::string::npos) << lines[0];
    }

    // A run that fails before its job starts is in the file log too.
    EXPECT_EQ(temp.Read("TIME_" + std::to_string(missing.id), "FAILED"), time);
    const std::vector<std::string> failed = LogLines(date, missing.id);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_NE(failed[0].find("\t失败\t文件备份的时候，源文件夹" + missing.source + "不存在"),
              std::string::npos)
        << failed[0];

    const std::string dated = copy.dest + "/" + date + "/";
    struct stat datedInfo {};
    ASSERT_EQ(::lstat(CleanPath(dated).c_str(), &datedInfo), 0);
    EXPECT_EQ(datedInfo.st_mode & 07777, 0700u);
    const std::string copied = OnlyBackup(dated, "");
    EXPECT_EQ(ReadTree(copied + "/src"), ReadTree(program_ / "src"));

    const std::string packedDated = packed.dest + "/" + date + "/";
    const std::string first = OnlyBackup(packedDated, ".part1.rar");
    ASSERT_FALSE(first.empty());
    EXPECT_GE(std::distance(fs::directory_iterator(packedDated), fs::directory_iterator()), 3);
    EXPECT_NE(LogLines(date, packed.id)[0].find("\t" + first + "\t"), std::string::npos);
    CZipOperator zip(program_ / "rar");
    ASSERT_EQ(zip.ExtractFile(first, program_ / "out", packed.password), 0) << zip.message();
    EXPECT_EQ(ReadTree(program_ / "out/src"), ReadTree(program_ / "src"));
}

}  // namespace
}  // namespace zov

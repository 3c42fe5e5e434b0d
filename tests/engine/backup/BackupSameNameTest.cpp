#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BackupTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/restore/RestoreItem.h"
#include "support/Trees.h"

// Two tasks whose sets have one name (sources of one name, one storage folder, due in the same second).
namespace zov {
namespace {

namespace fs = std::filesystem;
using test::kStamp;

struct SameNameCase {
    const char* name;
    int flags;
    bool perSubfolder;
    int volumeMb;
};

void PrintTo(const SameNameCase& c, std::ostream* out) { *out << c.name; }

class BackupSameName : public test::BackupTest, public ::testing::WithParamInterface<SameNameCase> {
  protected:
    // The folders of a source that are backed up as items of their own: each sub-folder, or the source.
    static std::map<std::string, std::string> Items(const std::string& source, bool perSubfolder) {
        if (!perSubfolder) return {{"Work Files", source}};
        std::map<std::string, std::string> items;
        for (const auto& entry : fs::directory_iterator(source)) {
            if (entry.is_directory()) items[entry.path().filename()] = entry.path().string() + "/";
        }
        return items;
    }
};

// Both runs write at once; an entry of the run's name that is already there (another program's) stays as it
// is. Each task keeps its own set, under the next free stamp when its own is taken, and each set gives back
// the source of its own task.
TEST_P(BackupSameName, BothTasksKeepTheirSetEachRestorableToItsOwnSource) {
    const SameNameCase& c = GetParam();
    const std::string other = program_ / "other/Work Files/";
    test::WriteFile(other + "a.txt", "other alpha");
    test::WriteFile(other + "sub/only here.txt", "other");
    test::WriteFile(other + "sub/deep/c.txt", "other charlie");
    if (c.volumeMb > 0) {
        test::WriteFile(source_ + "sub/big.bin", test::RandomBytes(2500 * 1024));
        test::WriteFile(other + "sub/big.bin", test::RandomBytes(2500 * 1024) + "x");
    }
    const std::string planted = Dated() + (c.perSubfolder ? "sub_" : "Work Files_") + kStamp + ".rar";
    test::WriteFile(planted, "not ours");

    TaskInfo first = Task(c.flags);
    first.compress = c.perSubfolder;
    first.partial = c.volumeMb;
    TaskInfo second = first;
    second.id = 13;
    second.source = other;
    const std::string rar = test::BuiltProgram("rar");
    int results[2] = {0, 0};
    std::string messages[2];
    test::RecordingJob secondJob;
    {
        std::jthread a([&] { results[0] = backup_.RunFileTask(first, rar, messages[0], job_.Context()); });
        std::jthread b(
            [&] { results[1] = backup_.RunFileTask(second, rar, messages[1], secondJob.Context()); });
    }
    ASSERT_EQ(results[0], 1) << messages[0];
    ASSERT_EQ(results[1], 1) << messages[1];
    EXPECT_EQ(test::ReadFile(planted), "not ours");

    std::set<std::string> targets;
    std::size_t records = 0;
    for (const auto& line : LogLines()) {
        ASSERT_GE(line.size(), 9u);
        EXPECT_EQ(line[8], "成功");
        const TaskInfo& task = line[2] == "12" ? first : second;
        const std::string item = BackupItemName(line[5]);
        const std::string source = Items(task.source, c.perSubfolder).at(item);
        SCOPED_TRACE(line[6]);
        EXPECT_TRUE(targets.insert(line[6]).second) << "one set per record";
        const std::string restored = program_ / ("restored/" + std::to_string(targets.size()) + "/");
        const std::vector<std::string> noneChecked;
        const RestoreOwner owner{task, noneChecked, rar, job_.Context()};
        std::string message;
        ASSERT_TRUE(RestoreItem(owner, line[6], restored, message, false, "", false)) << message;
        EXPECT_EQ(test::DescribeTree(restored + item), test::DescribeTree(source));
        if (c.volumeMb > 0) {
            EXPECT_TRUE(line[6].ends_with(".part1.rar")) << line[6];
        }
        ++records;
    }
    EXPECT_EQ(records, Items(source_, c.perSubfolder).size() + Items(other, c.perSubfolder).size());
    for (const std::string& name : test::Names(Dated())) EXPECT_FALSE(name.ends_with(".partial")) << name;
}

INSTANTIATE_TEST_SUITE_P(Tasks, BackupSameName,
                         ::testing::Values(SameNameCase{"Copied", kTaskFile, false, 0},
                                           SameNameCase{"Compressed", kTaskFile | kTaskCompress, false, 0},
                                           SameNameCase{"InVolumes", kTaskFile | kTaskCompress, false, 1},
                                           SameNameCase{"PerSubfolder", kTaskFile | kTaskCompress, true, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zov

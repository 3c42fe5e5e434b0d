#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "BackupTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/files/PendingSet.h"
#include "engine/restore/RestoreItem.h"
#include "engine/restore/RestoreItemTree.h"
#include "support/NobodyChild.h"
#include "support/ReadOnlyMount.h"
#include "support/Trees.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;
using test::ReadFile;
using test::ReadTree;
using test::WriteFile;

constexpr const char* kBaseStamp = "20240305140709";
constexpr const char* kDiffStamp = "20240305140800";
constexpr const char* kMarker = "qel_temp_del~~~~";
constexpr const char* kPassword = "pa$$ word";

// How a task stores its sets.
enum class Store { Copied, Compressed, WithPassword, InVolumes };

struct DiffCase {
    Store store;
    bool perSubfolder;
    bool readOnly = false;  // the source is read-only at the differential run, as a snapshot is
};

std::string StoreText(Store store) {
    const char* names[] = {"Copied", "Compressed", "WithPassword", "InVolumes"};
    return names[static_cast<int>(store)];
}

std::string CaseText(const DiffCase& c) {
    return StoreText(c.store) + (c.perSubfolder ? "PerSubfolder" : "WholeFolder") +
           (c.readOnly ? "ReadOnly" : "");
}

void PrintTo(const DiffCase& c, std::ostream* out) { *out << CaseText(c); }

std::string CaseName(const ::testing::TestParamInfo<DiffCase>& info) { return CaseText(info.param); }

// Every path of the tree that ends in a deletion marker.
std::vector<std::string> MarkersUnder(const std::string& folder) {
    std::vector<std::string> markers;
    for (const auto& [path, content] : ReadTree(folder)) {
        if (path.ends_with(kMarker)) markers.push_back(path);
    }
    return markers;
}

class BackupDiffTest : public test::BackupTest {
  protected:
    BackupDiffTest() { fs::remove_all(source_); }

    TaskInfo DiffTask(Store store, bool perSubfolder) const {
        TaskInfo task = Task(store == Store::Copied ? 0x05 : 0x07);
        task.diff = true;
        task.compress = perSubfolder;
        task.basePeriod = 7;
        if (store == Store::WithPassword) task.password = kPassword;
        if (store == Store::InVolumes) task.partial = 1;
        return task;
    }

    // The first state of one item's tree.
    static void WriteFirstState(const std::string& root, bool big) {
        WriteFile(root + "keep.txt", "keep");
        WriteFile(root + "change.txt", "before");
        WriteFile(root + "gone.txt", "gone");
        WriteFile(root + "nest/deep/keep.doc", "deep keep");
        WriteFile(root + "nest/deep/change.doc", "deep before");
        WriteFile(root + "nest/deep/gone.doc", "deep gone");
        WriteFile(root + "gone folder/x.txt", "gone with its folder");
        WriteFile(root + "gone folder/deeper/y.txt", "gone too");
        WriteFile(root + "turn", "a file that becomes a folder");
        fs::create_directories(root + "nest/empty");
        if (big) WriteFile(root + "big.bin", test::RandomBytes(1536 * 1024));
    }

    // The second state; returns what its differential set must hold below the item's folder.
    static Tree WriteSecondState(const std::string& root, bool big) {
        WriteFile(root + "change.txt", "after, longer");
        WriteFile(root + "nest/deep/change.doc", "deep after");
        WriteFile(root + "new.txt", "new");
        WriteFile(root + "nest/new/added.txt", "added");
        fs::remove(root + "gone.txt");
        fs::remove(root + "nest/deep/gone.doc");
        fs::remove_all(root + "gone folder");
        fs::remove(root + "turn");
        WriteFile(root + "turn/inside.txt", "inside");
        fs::create_directories(root + "made/empty");
        fs::create_directories(root + "nest/deep/hollow");
        fs::create_directories(root + "nest/new/empty");
        Tree expected = {{"change.txt", "after, longer"},
                         {"nest/deep/change.doc", "deep after"},
                         {"new.txt", "new"},
                         {"nest/new/added.txt", "added"},
                         {"turn/inside.txt", "inside"},
                         {std::string("gone.txt") + kMarker, ""},
                         {std::string("nest/deep/gone.doc") + kMarker, ""},
                         {std::string("gone folder") + kMarker, ""},
                         {std::string("turn") + kMarker, ""}};
        if (big) {
            const std::string bytes = test::RandomBytes(1280 * 1024) + "x";
            WriteFile(root + "nest/new/big2.bin", bytes);
            expected["nest/new/big2.bin"] = bytes;
        }
        return expected;
    }

    // The contents of a set below the item's own folder: a copied set as it lies, an archive unpacked.
    Tree SetContents(const std::string& set, const std::string& item, Store store) const {
        if (store == Store::Copied) return ReadTree(set + "/" + item);
        const std::string out = program_ / "unpacked";
        fs::remove_all(out);
        CZipOperator zip(test::BuiltProgram("rar"));
        const std::string password = store == Store::WithPassword ? kPassword : "";
        EXPECT_EQ(zip.ExtractFile(FindVolumeName(set), out, password), 0) << set << zip.message();
        Tree tree = ReadTree(out + "/" + item);
        fs::remove_all(out);
        return tree;
    }

    // The system log's lines without their time column.
    std::vector<std::string> SystemLog() const {
        std::vector<std::string> lines;
        SplitToList(lines, ReadFile(program_ / "Log/Files/system.log"), '\n', true, 1);
        for (std::string& line : lines) line.erase(0, line.find('\t') + 1);
        return lines;
    }

    int Run(const TaskInfo& task, std::string& message) {
        return backup_.RunFileTask(task, test::BuiltProgram("rar"), message, job_.Context());
    }

    // Restores a differential set over its base into program_/restored/ through the restore engine.
    bool RestoreDifferential(const TaskInfo& task, Store store, const std::string& set,
                             const std::string& password, std::string& message) {
        const std::vector<std::string> noneChecked;
        const RestoreOwner owner{task, noneChecked, test::BuiltProgram("rar"), job_.Context()};
        return RestoreItemTree(owner, store == Store::Copied ? set : FindVolumeName(set),
                               program_ / "restored/", message, false, password, false);
    }

    bool NothingInCache() const {
        return !fs::exists(program_ / "cache") || fs::is_empty(program_ / "cache");
    }
};

class BackupDiffRoundTest : public BackupDiffTest, public ::testing::WithParamInterface<DiffCase> {};

// A base run, then a differential run after files were added, changed and deleted (nested too).
TEST_P(BackupDiffRoundTest, DifferentialSetHoldsTheChangesAndOneMarkerPerDeletedFile) {
    const auto [store, perSubfolder, readOnlySource] = GetParam();
    const bool big = store == Store::InVolumes;
    const std::vector<std::string> items = perSubfolder ? std::vector<std::string>{"alpha", "beta", "gamma"}
                                                        : std::vector<std::string>{"Work Files"};
    auto rootOf = [&](const std::string& item) { return perSubfolder ? source_ + item + "/" : source_; };
    for (const std::string& item : items) WriteFirstState(rootOf(item), big);
    WriteFile(source_ + "top.txt", "not in a sub-folder");
    const TaskInfo task = DiffTask(store, perSubfolder);
    std::string message;
    ASSERT_EQ(Run(task, message), 1) << message;
    std::map<std::string, Tree> firstState;
    std::map<std::string, std::set<std::string>> firstTree, firstModes;
    for (const std::string& item : items) {
        firstState[item] = ReadTree(rootOf(item));
        firstTree[item] = test::DescribeTree(rootOf(item));
        firstModes[item] = test::DescribeModes(rootOf(item));
    }

    time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
    std::map<std::string, Tree> expected;
    for (const std::string& item : items) expected[item] = WriteSecondState(rootOf(item), big);
    std::optional<test::ReadOnlyMount> readOnly;
    if (readOnlySource) {
        readOnly.emplace(source_);
        if (!readOnly->readOnly()) GTEST_SKIP() << "mounting a file system is not permitted here";
    }
    ASSERT_EQ(Run(task, message), 1) << message;

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2 * items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        SCOPED_TRACE(item);
        const std::string base = Dated() + item + "_" + kBaseStamp;
        const std::string set = storage_ + "/diff/" + item + "_" + kBaseStamp + "/" + kDiffStamp;
        // The base holds the first state, the differential set exactly the changes.
        Tree baseTree = SetContents(base, item, store);
        EXPECT_EQ(baseTree, firstState[item]);
        EXPECT_EQ(SetContents(set, item, store), expected[item]);
        if (store == Store::InVolumes) {
            EXPECT_TRUE(FindVolumeName(base).ends_with("1.rar")) << FindVolumeName(base);
            EXPECT_TRUE(FindVolumeName(set).ends_with("1.rar")) << FindVolumeName(set);
        }
        if (store == Store::Copied) {
            EXPECT_TRUE(fs::is_directory(storage_ + "/diff/" + item + "_" + kBaseStamp + "/" + kBaseStamp));
        }
        const auto& first = lines[i];
        const auto& second = lines[items.size() + i];
        ASSERT_GE(second.size(), 10u);
        EXPECT_EQ(first[4], "更新");
        EXPECT_EQ(first[5], rootOf(item).substr(0, rootOf(item).size() - 1));
        EXPECT_EQ(first[6], store == Store::Copied ? base : FindVolumeName(base));
        EXPECT_EQ(first[8], "成功");
        EXPECT_EQ(second[4], "差异");
        EXPECT_EQ(second[6], store == Store::Copied ? set : FindVolumeName(set));
        EXPECT_EQ(second[8], "成功") << second[9];
        EXPECT_TRUE(MarkersUnder(rootOf(item)).empty());

        // What the runs wrote gives back both states.
        const std::string password = store == Store::WithPassword ? kPassword : "";
        const std::string target = program_ / "restored/";
        std::string restoreMessage;
        fs::remove_all(target);
        ASSERT_TRUE(RestoreDifferential(task, store, set, password, restoreMessage)) << restoreMessage;
        EXPECT_EQ(test::DescribeTree(target + item), test::DescribeTree(rootOf(item)))
            << "base and differential";
        EXPECT_EQ(test::DescribeModes(target + item), test::DescribeModes(rootOf(item)));
        EXPECT_TRUE(MarkersUnder(target).empty());
        fs::remove_all(target);
        const std::vector<std::string> noneChecked;
        const RestoreOwner owner{task, noneChecked, test::BuiltProgram("rar"), job_.Context()};
        ASSERT_TRUE(RestoreItem(owner, store == Store::Copied ? base : FindVolumeName(base), target,
                                restoreMessage, false, password, false))
            << restoreMessage;
        EXPECT_EQ(test::DescribeTree(target + item), firstTree[item]) << "base alone";
        EXPECT_EQ(test::DescribeModes(target + item), firstModes[item]);
    }
    EXPECT_TRUE(NothingInCache());
    EXPECT_TRUE(CurrentTask().empty());
    for (const std::string& text :
         {ReadFile(program_ / "Log/Files/2024-03-05.log"), ReadFile(program_ / "Log/Files/system.log")}) {
        EXPECT_EQ(text.find(kPassword), std::string::npos);
    }
    for (const std::string& line : job_.status.Lines()) EXPECT_EQ(line.find(kPassword), std::string::npos);
    if (perSubfolder) {
        const auto log = SystemLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), "每日文件\t开始执行压缩子目录：找到子目录[3]个。"), 2);
        EXPECT_EQ(std::count(log.begin(), log.end(), "每日文件\t压缩子目录结束：成功3项，失败0项。"), 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stores, BackupDiffRoundTest,
    ::testing::Values(DiffCase{Store::Copied, false}, DiffCase{Store::Compressed, false},
                      DiffCase{Store::WithPassword, false}, DiffCase{Store::InVolumes, false},
                      DiffCase{Store::Copied, true}, DiffCase{Store::Compressed, true},
                      DiffCase{Store::WithPassword, true}, DiffCase{Store::InVolumes, true},
                      DiffCase{Store::Copied, false, true}, DiffCase{Store::Compressed, false, true},
                      DiffCase{Store::InVolumes, true, true}),
    CaseName);

// The columns of every line of a day's file log.
std::vector<std::vector<std::string>> LogOf(const std::string& program, const std::string& day) {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> rows;
    SplitToList(rows, ReadFile(program + "/Log/Files/" + day + ".log"), '\n', true, 1);
    for (const std::string& row : rows) {
        std::vector<std::string> columns;
        SplitToList(columns, row, '\t', true, 0);
        lines.push_back(columns);
    }
    return lines;
}

// A source that is one file: the differential set records its change in either form, and base and set give
// the changed file back.
TEST_F(BackupDiffTest, ASingleFileSourceRecordsItsChange) {
    for (const Store store : {Store::Copied, Store::Compressed, Store::WithPassword, Store::InVolumes}) {
        SCOPED_TRACE(StoreText(store));
        fs::remove_all(storage_);
        fs::remove_all(program_ / "restored");
        const std::string file = program_ / "src/report.bin";
        const std::string first = test::RandomBytes(1536 * 1024);
        WriteFile(file, first);
        TaskInfo task = DiffTask(store, false);
        task.source = file;
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
        std::string message;
        ASSERT_EQ(Run(task, message), 1) << message;
        const std::string second = first.substr(0, 1000) + "changed" + first.substr(1000);
        WriteFile(file, second);
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
        ASSERT_EQ(Run(task, message), 1) << message;

        const std::string set = storage_ + "/diff/report.bin_" + kBaseStamp + "/" + kDiffStamp;
        const std::string entry = store == Store::Copied ? set : FindVolumeName(set);
        ASSERT_TRUE(fs::exists(entry)) << entry;
        const std::vector<std::string> noneChecked;
        const RestoreOwner owner{task, noneChecked, test::BuiltProgram("rar"), job_.Context()};
        ASSERT_TRUE(RestoreItemTree(owner, entry, program_ / "restored/", message, false,
                                    store == Store::WithPassword ? kPassword : "", false))
            << message;
        EXPECT_TRUE(ReadFile(program_ / "restored/report.bin") == second);
    }
}

// A file whose mode, owner or group alone changed since the base is stored by the differential run in
// either form, and base and differential give it back with its new mode and owner.
TEST_F(BackupDiffTest, AChangeOfModeOrOwnerAloneIsStored) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root keeps owners";
    const std::optional<test::UserIds> nobody = test::NobodyIds();
    ASSERT_TRUE(nobody.has_value());
    const struct {
        const char* what;
        mode_t mode;
        uid_t uid;
        gid_t gid;
    } changes[] = {{"mode", 0600, 0, 0}, {"owner", 0644, nobody->uid, 0}, {"group", 0644, 0, nobody->gid}};
    for (const Store store : {Store::Copied, Store::Compressed}) {
        for (const auto& change : changes) {
            SCOPED_TRACE(StoreText(store) + " " + change.what);
            fs::remove_all(storage_);
            fs::remove_all(source_);
            fs::remove_all(program_ / "restored");
            const std::string file = source_ + "private.txt";
            WriteFile(file, "the same bytes");
            WriteFile(source_ + "other.txt", "other");
            ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
            ASSERT_EQ(::chown(file.c_str(), 0, 0), 0);
            const TaskInfo task = DiffTask(store, false);
            time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
            std::string message;
            ASSERT_EQ(Run(task, message), 1) << message;

            ASSERT_EQ(::chmod(file.c_str(), change.mode), 0);
            ASSERT_EQ(::chown(file.c_str(), change.uid, change.gid), 0);
            time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
            ASSERT_EQ(Run(task, message), 1) << message;
            const std::string set = storage_ + "/diff/Work Files_" + kBaseStamp + "/" + kDiffStamp;
            EXPECT_EQ(SetContents(set, "Work Files", store), (Tree{{"private.txt", "the same bytes"}}));

            const std::string target = program_ / "restored/";
            ASSERT_TRUE(RestoreDifferential(task, store, set, "", message)) << message;
            struct stat restored {};
            ASSERT_EQ(::stat((target + "Work Files/private.txt").c_str(), &restored), 0);
            EXPECT_EQ(restored.st_mode & 07777, change.mode);
            EXPECT_EQ(restored.st_uid, change.uid);
            EXPECT_EQ(restored.st_gid, change.gid);
            EXPECT_EQ(ReadFile(target + "Work Files/private.txt"), "the same bytes");
        }
    }
}

// A file and a folder whose names are too long for a marker "<name>qel_temp_del~~~~", deleted since the
// base, are recorded all the same: the run succeeds, and base and differential give the source back
// without them.
TEST_F(BackupDiffTest, ADeletedNameTooLongForAMarkerIsRecorded) {
    const std::string longFile = std::string(246, 'f') + ".txt";
    const std::string longFolder = std::string(250, 'd');
    for (const Store store : {Store::Copied, Store::Compressed}) {
        SCOPED_TRACE(StoreText(store));
        fs::remove_all(storage_);
        fs::remove_all(source_);
        fs::remove_all(program_ / "restored");
        fs::remove_all(program_ / "Log/Files");
        WriteFirstState(source_, false);
        WriteFile(source_ + longFile, "a long name");
        WriteFile(source_ + "nest/" + longFolder + "/x.txt", "in a long folder");
        const TaskInfo task = DiffTask(store, false);
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
        std::string message;
        ASSERT_EQ(Run(task, message), 1) << message;

        fs::remove(source_ + longFile);
        fs::remove_all(source_ + "nest/" + longFolder);
        WriteFile(source_ + "change.txt", "after");
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
        ASSERT_EQ(Run(task, message), 1) << message;
        ASSERT_EQ(LogLines().size(), 2u);
        EXPECT_EQ(LogLines()[1][8], "成功");

        const std::string set = storage_ + "/diff/Work Files_" + kBaseStamp + "/" + kDiffStamp;
        const std::string target = program_ / "restored/";
        ASSERT_TRUE(RestoreDifferential(task, store, set, "", message)) << message;
        EXPECT_EQ(test::DescribeTree(target + "Work Files"), test::DescribeTree(source_));
    }
}

// A base lives until basePeriod days after its last write: the run one second before makes a differential
// set, the run at that moment a new base; with basePeriod 0 every run is a new base.
TEST_F(BackupDiffTest, BaseExpiresAfterItsPeriod) {
    struct Case {
        int period;
        int day, hour, minute, second;
        std::string expectedType, expectedTarget;
    };
    const std::string leaf = "Work Files_20240301010000";
    const Case cases[] = {
        {7, 8, 0, 59, 59, "差异", storage_ + "/diff/" + leaf + "/20240308005959.rar"},
        {7, 8, 1, 0, 0, "更新", storage_ + "/2024-03-08/Work Files_20240308010000.rar"},
        {0, 1, 1, 0, 1, "更新", storage_ + "/2024-03-01/Work Files_20240301010001.rar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedTarget);
        fs::remove_all(storage_);
        fs::remove_all(program_ / "Log/Files");
        fs::remove_all(source_);
        WriteFirstState(source_, false);
        TaskInfo task = DiffTask(Store::Compressed, false);
        task.basePeriod = c.period;
        time_.clock().Set(MakeLocalTime(2024, 3, 1, 1, 0, 0));
        std::string message;
        ASSERT_EQ(Run(task, message), 1) << message;
        const std::string base = storage_ + "/2024-03-01/" + leaf + ".rar";
        test::SetModifyTime(base, MakeLocalTime(2024, 3, 1, 1, 0, 0));

        WriteSecondState(source_, false);
        time_.clock().Set(MakeLocalTime(2024, 3, c.day, c.hour, c.minute, c.second));
        ASSERT_EQ(Run(task, message), 1) << message;
        const std::string day = c.day == 1 ? "2024-03-01" : "2024-03-08";
        const auto lines = LogOf(program_.path(), day);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back()[4], c.expectedType);
        EXPECT_EQ(lines.back()[6], c.expectedTarget);
        EXPECT_TRUE(fs::is_regular_file(c.expectedTarget));
        EXPECT_EQ(fs::exists(storage_ + "/diff"), c.expectedType == "差异");
    }
}

TEST_F(BackupDiffTest, PerSubfolderSourceWithoutSubfolderFails) {
    WriteFile(source_ + "only.txt", "a file");
    fs::create_directories(source_ + ".hidden");
    fs::create_symlink("/tmp", source_ + "link");
    for (const bool diff : {false, true}) {
        fs::remove_all(program_ / "Log/Files");
        TaskInfo task = DiffTask(Store::Compressed, true);
        task.diff = diff;
        std::string message;
        EXPECT_EQ(Run(task, message), 0);
        EXPECT_EQ(message,
                  "按子目录备份时，源文件夹" + source_.substr(0, source_.size() - 1) + "下没有子目录");
        const auto log = SystemLog();
        EXPECT_NE(std::find(log.begin(), log.end(), "每日文件\t开始执行压缩子目录：找到子目录[0]个。"),
                  log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "每日文件\t压缩子目录结束：成功0项，失败0项。"),
                  log.end());
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0][8], "失败");
        EXPECT_FALSE(fs::exists(Dated()));
    }
}

// A failed sub-folder fails the run and is named; the others are backed up.
TEST_F(BackupDiffTest, PerSubfolderRunNamesTheFailedSubfolders) {
    WriteFirstState(source_ + "ok/", false);
    WriteFirstState(source_ + "locked/", false);
    // The storage folder inside the source is no sub-folder to back up.
    TaskInfo task = DiffTask(Store::Copied, true);
    task.dest = source_ + "bak";
    // Its set finds no free name: its own and every later one it may take are in the way.
    for (int later = 0; later < kCommitStampTries; ++later) {
        WriteFile(task.dest + "/2024-03-05/locked_" +
                      FormatLocalTime(MakeLocalTime(2024, 3, 5, 14, 7, 9 + later), kStampFormat),
                  "in the way");
    }
    std::string message;
    EXPECT_EQ(Run(task, message), 0);
    EXPECT_EQ(message, "备份时，" + task.dest + "/2024-03-05/中的备份名locked_" + kBaseStamp +
                           "及其后100秒内的备份名均已被占用");
    const auto log = SystemLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "每日文件\t开始执行压缩子目录：找到子目录[2]个。"),
              log.end());
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "每日文件\t压缩子目录结束：成功1项，失败1项。失败的目录有[locked]。"),
              log.end());
    EXPECT_TRUE(fs::is_directory(task.dest + "/2024-03-05/ok_" + kBaseStamp + "/ok"));
    EXPECT_FALSE(fs::exists(task.dest + "/2024-03-05/bak_" + kBaseStamp));
    EXPECT_EQ(LogLines().size(), 2u);
}

TEST_F(BackupDiffTest, BaseWithAnotherPasswordFailsAndLeavesNothingUnpacked) {
    WriteFirstState(source_, false);
    TaskInfo task = DiffTask(Store::WithPassword, false);
    std::string message;
    ASSERT_EQ(Run(task, message), 1) << message;
    WriteSecondState(source_, false);
    time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
    task.password = "another";
    EXPECT_EQ(Run(task, message), 0);
    const std::string base = Dated() + "Work Files_" + kBaseStamp + ".rar";
    EXPECT_TRUE(message.starts_with("差异备份时，基准库" + base + "解压失败。")) << message;
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1][4], "差异");
    EXPECT_EQ(lines[1][6], storage_ + "/");
    EXPECT_EQ(lines[1][8], "失败");
    EXPECT_FALSE(lines[1][9].empty());
    EXPECT_TRUE(NothingInCache());
    EXPECT_FALSE(fs::exists(storage_ + "/diff"));
    EXPECT_TRUE(MarkersUnder(source_).empty());
    EXPECT_TRUE(CurrentTask().empty());
}

TEST_F(BackupDiffTest, NothingChangedFailsWithTheArchiversMessage) {
    WriteFirstState(source_, false);
    const TaskInfo task = DiffTask(Store::Compressed, false);
    std::string message;
    ASSERT_EQ(Run(task, message), 1) << message;
    time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
    EXPECT_EQ(Run(task, message), 0);
    const std::string set = storage_ + "/diff/Work Files_" + kBaseStamp + "/" + kDiffStamp + ".rar";
    EXPECT_EQ(message, "压缩成功，但是压缩文件" + set + "未创建（无差异文件）。");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1][6], set);
    EXPECT_EQ(lines[1][8], "失败");
    EXPECT_EQ(lines[1][9], message);
    EXPECT_TRUE(NothingInCache());
}

// A marker left in the source by a run of an older version stands for nothing: it is not archived, and
// the source is not written to (the run's own markers are made elsewhere).
TEST_F(BackupDiffTest, StaleMarkersInTheSourceAreDropped) {
    WriteFirstState(source_, false);
    const TaskInfo task = DiffTask(Store::Compressed, false);
    std::string message;
    ASSERT_EQ(Run(task, message), 1) << message;
    const Tree expected = WriteSecondState(source_, false);
    WriteFile(source_ + "keep.txt" + kMarker, "");
    WriteFile(source_ + "nest/deep/keep.doc" + kMarker, "");
    time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
    ASSERT_EQ(Run(task, message), 1) << message;
    EXPECT_EQ(SetContents(storage_ + "/diff/Work Files_" + kBaseStamp + "/" + kDiffStamp, "Work Files",
                          Store::Compressed),
              expected);
    EXPECT_EQ(MarkersUnder(source_).size(), 2u);
}

// Names that hold ".part" without being a volume suffix: a source "my.party" in a storage "backup.parts".
TEST_F(BackupDiffTest, PartInANameIsNoVolumeSuffix) {
    const std::string source = program_ / "src/my.party/";
    WriteFirstState(source, true);
    TaskInfo task = DiffTask(Store::InVolumes, false);
    task.source = source;
    task.dest = program_ / "backup.parts";
    std::string message;
    ASSERT_EQ(Run(task, message), 1) << message;
    const Tree expected = WriteSecondState(source, true);
    time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
    ASSERT_EQ(Run(task, message), 1) << message;
    const std::string set = task.dest + "/diff/my.party_" + kBaseStamp + "/" + kDiffStamp;
    EXPECT_EQ(SetContents(set, "my.party", Store::InVolumes), expected);
}

// The service's next start removes the work folders a differential run cut short left, in the dated folder
// and in every set folder (each sub-folder's for a per-sub-folder task), and nothing else.
TEST_F(BackupDiffTest, InterruptedDifferentialRunsLeaveNothingBehind) {
    for (const bool perSubfolder : {false, true}) {
        fs::remove_all(storage_);
        fs::remove_all(source_);
        const std::vector<std::string> items =
            perSubfolder ? std::vector<std::string>{"alpha", "beta"} : std::vector<std::string>{"Work Files"};
        std::vector<std::string> kept;
        std::vector<std::string> removed;
        for (const std::string& item : items) {
            fs::create_directories(perSubfolder ? source_ + item : source_);
            const std::string sets = storage_ + "/diff/" + item + "_20240301010000/";
            WriteFile(sets + PartialSetName(kDiffStamp, 12) + "/x.txt", "x");
            removed.push_back(sets + PartialSetName(kDiffStamp, 12));
            for (const std::string& name :
                 {std::string(kDiffStamp) + ".part1.rar", PartialSetName(kDiffStamp, 13) + "/x.txt",
                  std::string("20240304000000.rar")}) {
                WriteFile(sets + name, "x");
                kept.push_back(sets + name);
            }
            WriteFile(Dated() + item + "_" + kDiffStamp + ".rar", "x");
            kept.push_back(Dated() + item + "_" + kDiffStamp + ".rar");
        }
        WriteFile(Dated() + PartialSetName(kDiffStamp, 12) + "/x.txt", "x");
        removed.push_back(Dated() + PartialSetName(kDiffStamp, 12));
        TaskInfo task = DiffTask(Store::Compressed, perSubfolder);
        backup_.RecordInterruptedRun(task, MakeLocalTime(2024, 3, 5, 14, 8, 0));
        for (const std::string& path : removed) EXPECT_FALSE(fs::exists(path)) << path;
        for (const std::string& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    }
}

// A stopped differential run writes no record and leaves its "CURTASK" entry for the recovery at the next
// start, nothing in the cache folder and no marker in the source.
TEST_F(BackupDiffTest, StoppedDifferentialRunWritesNoRecord) {
    for (const Store store : {Store::Copied, Store::Compressed}) {
        fs::remove_all(storage_);
        fs::remove_all(program_ / "Log/Files");
        fs::remove_all(source_);
        WriteFirstState(source_, false);
        const TaskInfo task = DiffTask(store, false);
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
        std::string message;
        ASSERT_EQ(Run(task, message), 1) << message;
        WriteSecondState(source_, false);
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
        test::RecordingJob stopped;
        stopped.stop.request_stop();
        EXPECT_EQ(backup_.RunFileTask(task, test::BuiltProgram("rar"), message, stopped.Context()), 0);
        EXPECT_EQ(LogLines().size(), 1u);
        EXPECT_EQ(CurrentTask(), "2024-03-05 14:08:00");
        EXPECT_TRUE(NothingInCache());
        EXPECT_TRUE(MarkersUnder(source_).empty());
        // What it left goes at the next start; the copied base's own set folder stays.
        backup_.RecordInterruptedRun(task, MakeLocalTime(2024, 3, 5, 14, 8, 0));
        const std::set<std::string> left = test::Names(storage_ + "/diff/Work Files_" + kBaseStamp);
        EXPECT_EQ(left, store == Store::Copied ? std::set<std::string>{kBaseStamp} : std::set<std::string>{});
        EXPECT_EQ(LogLines().size(), 2u);
    }
}

}  // namespace
}  // namespace zov

#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/files/CopyOperations.h"
#include "engine/restore/RestoreOwner.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "support/ChinaTimeClock.h"
#include "support/RecordingJob.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov::test {

inline constexpr const char* kBaseStamp = "20240301010000";
inline constexpr const char* kDiffStamp = "20240305140709";
inline constexpr const char* kMarker = "qel_temp_del~~~~";

// How a backup set is stored.
enum class SetKind { Copied, Compressed, WithPassword, InVolumes };

inline std::string KindName(SetKind kind) {
    switch (kind) {
        case SetKind::Copied:
            return "copied";
        case SetKind::Compressed:
            return "compressed";
        case SetKind::WithPassword:
            return "with password";
        case SetKind::InVolumes:
            return "in volumes";
    }
    return "";
}

// Every deletion marker below root.
inline std::vector<std::string> Markers(const std::string& root) {
    std::vector<std::string> markers;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().filename().string().ends_with(kMarker)) markers.push_back(it->path());
    }
    return markers;
}

// A program folder with the source "src/docs/" of a task and its storage folder "bak/", written as the
// backups write them: full sets "bak/2024-03-01/docs_<base stamp>" (a folder holding "docs/", or an
// archive of "docs/") and differential entries "bak/diff/docs_<base stamp>/<diff stamp>" holding the
// changed files and a marker per deleted file.
class RestoreTest : public ::testing::Test {
  protected:
    RestoreTest() {
        IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/");
        task_.id = 12;
        task_.name = "每日文件";
        task_.source = source_;
        task_.dest = storage_;
        WriteFile(source_ + "a.txt", "alpha");
        WriteFile(source_ + "gone.txt", "to be deleted");
        WriteFile(source_ + "报告.txt", "年度报告");
        WriteFile(source_ + "sub/big.bin", Bytes(2500 * 1024));
        WriteFile(source_ + "sub/deep/c.txt", "charlie");
        WriteFile(source_ + "sub/deep/old.txt", "old");
        WriteFile(source_ + "old/x.txt", "gone with its folder");
        WriteFile(source_ + "old/deeper/y.txt", "gone too");
        std::filesystem::create_directories(source_ + "empty/inner");
        ::chmod((source_ + "a.txt").c_str(), 0640);
        ::chmod((source_ + "sub/deep").c_str(), 0750);
    }

    // The second state: a changed, an added and two deleted files, nested too, a new folder, a deleted
    // folder and a new empty one.
    void ChangeSource() {
        WriteFile(source_ + "a.txt", "alpha, changed");
        WriteFile(source_ + "sub/deep/new.txt", "new");
        WriteFile(source_ + "fresh/n.txt", "fresh");
        std::filesystem::remove(source_ + "gone.txt");
        std::filesystem::remove(source_ + "sub/deep/old.txt");
        std::filesystem::remove_all(source_ + "old");
        std::filesystem::create_directories(source_ + "made/empty");
    }

    static std::string Bytes(std::size_t size) {
        std::mt19937 generator(7);
        std::string bytes(size, '\0');
        for (char& byte : bytes) byte = static_cast<char>(generator());
        return bytes;
    }

    static std::string PasswordOf(SetKind kind) {
        return kind == SetKind::WithPassword || kind == SetKind::InVolumes ? "s3cret pass" : "";
    }

    // Writes folder (its last level "docs", alone in its parent) as a set named name into storage folder dir;
    // returns the set's path (the first volume of an archive in volumes).
    std::string WriteSet(const std::string& folder, const std::string& dir, const std::string& name,
                         SetKind kind) {
        if (kind == SetKind::Copied) {
            std::string message;
            EXPECT_TRUE(CopyFolderTree(GetParentFolder(folder), dir + name, message)) << message;
            return dir + name;
        }
        CZipOperator zip(rar_);
        const int volumeMb = kind == SetKind::InVolumes ? 1 : 0;
        EXPECT_TRUE(zip.CompressFolder(folder, dir, PasswordOf(kind), name, volumeMb)) << zip.message();
        return dir + name + (volumeMb != 0 ? ".part1.rar" : ".rar");
    }

    std::string WriteBase(SetKind kind) {
        return WriteSet(source_, storage_ + "2024-03-01/", std::string("docs_") + kBaseStamp, kind);
    }

    // The differential entry of the second state against the first: the changed and new files, the new
    // empty folder and one marker per deleted file or folder.
    std::string WriteDifferential(SetKind kind) {
        const std::string stage = program_ / "stage/docs/";
        WriteFile(stage + "a.txt", ReadFile(source_ + "a.txt"));
        ::chmod((stage + "a.txt").c_str(), 0640);
        WriteFile(stage + "sub/deep/new.txt", "new");
        WriteFile(stage + "fresh/n.txt", "fresh");
        WriteFile(stage + "gone.txt" + kMarker, "");
        WriteFile(stage + "sub/deep/old.txt" + kMarker, "");
        WriteFile(stage + "old" + kMarker, "");
        std::filesystem::create_directories(stage + "made/empty");
        ::chmod((stage + "sub/deep").c_str(), 0750);
        return WriteSet(stage, DiffFolder(), kDiffStamp, kind);
    }

    std::string DiffFolder() const { return storage_ + "diff/docs_" + kBaseStamp + "/"; }

    RestoreOwner Owner() { return {task_, checked_, rar_, job_.Context()}; }

    // The columns of every line of the day's file log.
    std::vector<std::vector<std::string>> LogLines() const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(ReadFile(program_ / "Log/Files/2024-03-05.log"));
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> columns;
            SplitToList(columns, line, '\t', true, 0);
            lines.push_back(columns);
        }
        return lines;
    }

    TempProgramDir program_;
    ChinaTimeClock time_{2024, 3, 5, 14, 7, 9};
    const std::string source_ = program_ / "src/docs/";
    const std::string storage_ = program_ / "bak/";
    const std::string target_ = program_ / "restored/";
    std::string rar_ = BuiltProgram("rar");
    TaskInfo task_;
    std::vector<std::string> checked_;
    RecordingJob job_;
};

inline constexpr SetKind kAllKinds[] = {SetKind::Copied, SetKind::Compressed, SetKind::WithPassword,
                                        SetKind::InVolumes};

}  // namespace zov::test

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/files/FileOperator.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov {
namespace {

using Files = std::set<std::string>;

const char* const kSourceFiles[] = {"notes.txt", "report.DOC", "my-backup.txt",  "backup/old.txt",
                                    "sub/a.txt", "sub/b.log",  "sub/deep/c.txt", "src/inner.txt",
                                    "x.log",     "[x].txt",    "中.txt"};

struct FilterCase {
    const char* name;
    FilterSet filter;
    Files expected;  // "path=content" below the copied or extracted source folder
};

Files Described(std::initializer_list<const char*> paths) {
    Files files;
    for (const char* path : paths) files.insert(std::string(path) + "=" + path);
    return files;
}

Files AllBut(std::initializer_list<const char*> left) {
    Files files;
    for (const char* path : kSourceFiles) files.insert(std::string(path) + "=" + path);
    for (const char* path : left) files.erase(std::string(path) + "=" + path);
    return files;
}

// The copy and the archive of one source select the same files. The source's own path holds the pattern
// texts ("backup", "src"), which select nothing by themselves: a pattern without '/' looks at names only.
TEST(ZipOperatorFilter, CopyAndArchiveOfOneSourceHoldTheSameFiles) {
    test::TempProgramDir dir;
    const std::string source = dir / "backup-area/src";
    for (const char* file : kSourceFiles) test::WriteFile(source + "/" + file, file);
    const FilterCase cases[] = {
        {"exclude a name part", {true, {"*backup*"}}, AllBut({"my-backup.txt", "backup/old.txt"})},
        {"include a name part", {false, {"*backup*"}}, Described({"my-backup.txt", "backup/old.txt"})},
        {"exclude a folder by name", {true, {"src"}}, AllBut({"src/inner.txt"})},
        {"include a folder by name",
         {false, {"sub"}},
         Described({"sub/a.txt", "sub/b.log", "sub/deep/c.txt"})},
        {"exclude below a folder", {true, {"*/sub/*"}}, AllBut({"sub/a.txt", "sub/b.log", "sub/deep/c.txt"})},
        {"include by full path", {false, {"*/backup-area/src/sub/deep/*"}}, Described({"sub/deep/c.txt"})},
        {"exclude by full path", {true, {"*/backup-area/*"}}, {}},
        {"case folds", {true, {"*.TXT"}}, Described({"report.DOC", "sub/b.log", "x.log"})},
        {"question mark",
         {false, {"?.log", "?.txt"}},
         Described({"sub/a.txt", "sub/b.log", "sub/deep/c.txt", "x.log", "中.txt"})},
        {"patterns of one item", {false, {"*.doc; *.log"}}, Described({"report.DOC", "sub/b.log", "x.log"})},
        {"brackets are plain", {false, {"[x].txt"}}, Described({"[x].txt"})},
    };
    const std::string rar = test::BuiltProgram("rar");
    int number = 0;
    for (const FilterCase& c : cases) {
        const std::string run = dir / std::to_string(number++);
        CFileOperator files;
        ASSERT_EQ(files.CopyFolderFiltered(source, run + "/copy", "", true, c.filter, false, false), 1)
            << c.name << ": " << files.error();
        EXPECT_EQ(test::DescribeFiles(run + "/copy/src"), c.expected) << c.name;

        CZipOperator zip(rar);
        const bool archived = zip.CompressFolderFiltered(source, run + "/store", "", "set", c.filter.exclude,
                                                         c.filter.extensions);
        EXPECT_TRUE(archived || c.expected.empty()) << c.name << ": " << zip.message();
        if (archived) {
            ASSERT_EQ(zip.ExtractFile(run + "/store/set.rar", run + "/restore", ""), 0) << c.name;
        }
        EXPECT_EQ(test::DescribeFiles(run + "/restore/src"), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace zov

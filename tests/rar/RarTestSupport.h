#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zov::test {

// How the archiver child is started.
struct ChildSetup {
    bool asNobody = false;            // run as the unprivileged user "nobody" (when the tests run as root)
    std::uint64_t fileSizeLimit = 0;  // RLIMIT_FSIZE in bytes; 0 leaves it alone (SIGXFSZ is ignored)
    std::uint64_t openFileLimit = 0;  // RLIMIT_NOFILE, soft and hard; 0 leaves it alone
    std::string workingDir;           // "" keeps the test's
    std::vector<std::string> environment;  // "NAME=value" entries replacing those of the test's environment
    int umask = -1;                        // -1 keeps the test's
};

struct RarRun {
    int exitCode = -1;   // -1 when it did not exit normally
    std::string output;  // standard output and standard error
};

// The built archiver: $ZOV_PROGRAM_OUTPUT/rar.
std::string RarProgram();

// Runs the archiver with these arguments (stdin /dev/null) and waits for it.
RarRun RunRar(const std::vector<std::string>& args, const ChildSetup& setup = {});

// Starts the archiver without waiting; output goes to outputFile.
pid_t StartRar(const std::vector<std::string>& args, const std::string& outputFile);
// Waits for a started archiver; its exit code, or -1 when a signal ended it.
int WaitRar(pid_t pid);

// One entry of a folder tree or an archive: type letter ('d' folder, 'f' file, 'l' link), size, link
// target, permission bits and modification time (both 0 for links).
struct EntryInfo {
    char type = 'f';
    std::uint64_t size = 0;
    std::string link;
    unsigned mode = 0;
    std::int64_t mtime = 0;
    bool operator==(const EntryInfo&) const = default;
};
using TreeListing = std::map<std::string, EntryInfo>;  // relative path (folders without '/') -> entry

// Everything below root, by path relative to root.
TreeListing ListTree(const std::string& root);
// Every entry of a ZIP file (any libarchive-readable archive), read with libarchive's own reader; data is
// read through, and a read failure fails the test.
TreeListing ListZip(const std::string& file, const std::string& password = "");

// Whether the user "nobody" can open path for reading (checked in a child that became nobody).
bool NobodyCanRead(const std::string& path);

// Byte-wise comparison of two files (sparse files are cheap: holes read as zeros).
bool SameContent(const std::string& a, const std::string& b);
// Compares two trees: same entries, and every file with the same content.
void ExpectSameTree(const std::string& expected, const std::string& actual);

// A tree with what names and files can be: empty folders, blanks, Chinese names, a backslash in a name, a
// symbolic link, a private file, text and random data; with withHugeFile also a sparse file over 4 GiB.
void MakeSampleTree(const std::string& root, bool withHugeFile = false);

// Random bytes of the given length (fixed seed per call site is enough).
std::string RandomBytes(std::size_t length, unsigned seed);
// Files of a folder whose names begin with prefix, sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);

}  // namespace zov::test

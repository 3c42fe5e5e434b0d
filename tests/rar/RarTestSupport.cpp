#include "RarTestSupport.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

std::vector<char*> ArgvOf(const std::string& program, const std::vector<std::string>& args,
                          std::vector<std::string>& storage) {
    storage.clear();
    storage.push_back(program);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

// The test's environment with the entries of extra replacing those of the same name.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        const bool replaced = std::any_of(extra.begin(), extra.end(),
                                          [&](const std::string& e) { return e.starts_with(name); });
        if (!replaced) merged.push_back(text);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool NobodyIds(uid_t& uid, gid_t& gid) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) {
        ADD_FAILURE() << "no user nobody";
        return false;
    }
    uid = nobody->pw_uid;
    gid = nobody->pw_gid;
    return true;
}

pid_t Spawn(const std::vector<std::string>& args, int outputFd, const ChildSetup& setup) {
    std::vector<std::string> storage;
    const std::string program = RarProgram();
    std::vector<char*> argv = ArgvOf(program, args, storage);
    std::vector<std::string> environment = EnvironmentWith(setup.environment);
    std::vector<char*> envp = PointersTo(environment);
    uid_t uid = 0;
    gid_t gid = 0;
    const bool dropPrivileges = setup.asNobody && geteuid() == 0;
    if (dropPrivileges && !NobodyIds(uid, gid)) return -1;
    // Opened here, run through the descriptor: "nobody" may not be allowed to walk to the build folder.
    const int programFd = open(program.c_str(), O_RDONLY | O_CLOEXEC);
    if (programFd < 0) {
        ADD_FAILURE() << "cannot open " << program;
        return -1;
    }
    const pid_t pid = fork();
    if (pid != 0) {
        close(programFd);
        return pid;
    }
    // Child: only async-signal-safe calls from here on.
    const int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    dup2(outputFd, 1);
    dup2(outputFd, 2);
    if (setup.fileSizeLimit > 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{setup.fileSizeLimit, setup.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (setup.openFileLimit > 0) {
        const rlimit limit{setup.openFileLimit, setup.openFileLimit};
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    if (dropPrivileges && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) _exit(126);
    if (!setup.workingDir.empty() && chdir(setup.workingDir.c_str()) != 0) _exit(125);
    if (setup.umask >= 0) umask(static_cast<mode_t>(setup.umask));
    fexecve(programFd, argv.data(), envp.data());
    _exit(127);
}

struct Range {
    off_t start;
    off_t end;
};

// The data extents of a file (everything when the file system cannot tell).
std::vector<Range> DataRanges(int fd, off_t size) {
    std::vector<Range> ranges;
    off_t position = 0;
    while (position < size) {
        const off_t data = lseek(fd, position, SEEK_DATA);
        if (data < 0) break;
        off_t hole = lseek(fd, data, SEEK_HOLE);
        if (hole < 0) hole = size;
        ranges.push_back({data, hole});
        position = hole;
    }
    if (ranges.empty() && size > 0 && lseek(fd, 0, SEEK_DATA) < 0 && errno != ENXIO)
        ranges.push_back({0, size});
    return ranges;
}

void AddEntry(TreeListing& listing, const std::string& relative, const struct stat& st,
              const std::string& root) {
    EntryInfo info;
    if (S_ISDIR(st.st_mode)) {
        info.type = 'd';
    } else if (S_ISLNK(st.st_mode)) {
        info.type = 'l';
        info.link = std::filesystem::read_symlink(root + relative).string();
    } else {
        info.type = 'f';
        info.size = static_cast<std::uint64_t>(st.st_size);
    }
    if (info.type != 'l') {
        info.mode = st.st_mode & 07777;
        info.mtime = st.st_mtime;
    }
    listing[relative] = info;
}

}  // namespace

std::string RarProgram() { return test::BuiltProgram("rar"); }

RarRun RunRar(const std::vector<std::string>& args, const ChildSetup& setup) {
    char outputName[] = "/tmp/rar_output_XXXXXX";
    const int outputFd = mkstemp(outputName);
    RarRun run;
    if (outputFd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return run;
    }
    fchmod(outputFd, 0666);
    const pid_t pid = Spawn(args, outputFd, setup);
    close(outputFd);
    if (pid > 0) run.exitCode = WaitRar(pid);
    run.output = ReadFile(outputName);
    unlink(outputName);
    return run;
}

pid_t StartRar(const std::vector<std::string>& args, const std::string& outputFile) {
    const int outputFd = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (outputFd < 0) {
        ADD_FAILURE() << "cannot create " << outputFile;
        return -1;
    }
    const pid_t pid = Spawn(args, outputFd, {});
    close(outputFd);
    return pid;
}

int WaitRar(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool NobodyCanRead(const std::string& path) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (!NobodyIds(uid, gid)) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(2);
        _exit(open(path.c_str(), O_RDONLY | O_CLOEXEC) >= 0 ? 0 : 1);
    }
    return pid > 0 && WaitRar(pid) == 0;
}

TreeListing ListTree(const std::string& root) {
    TreeListing listing;
    const std::string base = root.back() == '/' ? root : root + "/";
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(base, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string relative = it->path().string().substr(base.size());
        struct stat st {};
        if (lstat(it->path().c_str(), &st) == 0) AddEntry(listing, relative, st, base);
    }
    EXPECT_FALSE(error) << "cannot list " << root;
    return listing;
}

TreeListing ListZip(const std::string& file, const std::string& password) {
    std::setlocale(LC_ALL, "C.UTF-8");
    TreeListing listing;
    archive* reader = archive_read_new();
    archive_read_support_format_zip(reader);
    if (!password.empty()) archive_read_add_passphrase(reader, password.c_str());
    if (archive_read_open_filename(reader, file.c_str(), 1 << 16) != ARCHIVE_OK) {
        ADD_FAILURE() << "libarchive cannot open " << file << ": " << archive_error_string(reader);
        archive_read_free(reader);
        return listing;
    }
    archive_entry* entry = nullptr;
    int header = ARCHIVE_OK;
    while ((header = archive_read_next_header(reader, &entry)) == ARCHIVE_OK) {
        std::string name = archive_entry_pathname(entry);
        while (name.size() > 1 && name.back() == '/') name.pop_back();
        EntryInfo info;
        const auto type = archive_entry_filetype(entry);
        info.type = type == AE_IFDIR ? 'd' : type == AE_IFLNK ? 'l' : 'f';
        if (info.type == 'l') {
            info.link = archive_entry_symlink(entry);
        } else {
            info.mode = archive_entry_perm(entry);
            info.mtime = archive_entry_mtime(entry);
        }
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read = ARCHIVE_OK;
        while ((read = archive_read_data_block(reader, &block, &size, &offset)) == ARCHIVE_OK) {
            if (info.type == 'f') info.size = static_cast<std::uint64_t>(offset) + size;
        }
        EXPECT_EQ(read, ARCHIVE_EOF) << name << ": " << archive_error_string(reader);
        listing[name] = info;
    }
    EXPECT_EQ(header, ARCHIVE_EOF) << archive_error_string(reader);
    archive_read_free(reader);
    return listing;
}

bool SameContent(const std::string& a, const std::string& b) {
    const int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC);
    const int fb = open(b.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat sa {};
    struct stat sb {};
    bool same = fa >= 0 && fb >= 0 && fstat(fa, &sa) == 0 && fstat(fb, &sb) == 0 && sa.st_size == sb.st_size;
    // Outside the data extents of both files there are only zeros in both.
    std::vector<Range> ranges;
    if (same) {
        ranges = DataRanges(fa, sa.st_size);
        const std::vector<Range> other = DataRanges(fb, sb.st_size);
        ranges.insert(ranges.end(), other.begin(), other.end());
    }
    std::vector<char> ba(1 << 20);
    std::vector<char> bb(1 << 20);
    for (const Range& range : ranges) {
        for (off_t at = range.start; same && at < range.end;) {
            const auto want =
                static_cast<size_t>(std::min<off_t>(range.end - at, static_cast<off_t>(ba.size())));
            const ssize_t na = pread(fa, ba.data(), want, at);
            const ssize_t nb = pread(fb, bb.data(), want, at);
            same = na > 0 && na == nb && std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) == 0;
            at += na > 0 ? na : 0;
        }
    }
    if (fa >= 0) close(fa);
    if (fb >= 0) close(fb);
    return same;
}

void ExpectSameTree(const std::string& expected, const std::string& actual) {
    const TreeListing want = ListTree(expected);
    const TreeListing got = ListTree(actual);
    EXPECT_EQ(want, got);
    for (const auto& [path, info] : want) {
        if (info.type == 'f' && got.count(path) != 0) {
            EXPECT_TRUE(SameContent(expected + "/" + path, actual + "/" + path)) << path;
        }
    }
}

void MakeSampleTree(const std::string& root, bool withHugeFile) {
    namespace fs = std::filesystem;
    fs::create_directories(root + "/empty");
    fs::create_directories(root + "/nested/deeper/emptier");
    WriteFile(root + "/with blanks/a file.txt", "blank names\n");
    WriteFile(root + "/中文目录/报告 2024.txt", "中文内容\n");
    WriteFile(root + "/back\\slash.txt", "a backslash is a name character\n");
    WriteFile(root + "/private.txt", "only root\n");
    chmod((root + "/private.txt").c_str(), 0600);
    WriteFile(root + "/random.bin", RandomBytes(3 * 1024 * 1024 + 12345, 7));
    std::string text;
    for (int line = 0; line < 20000; ++line)
        text += "line " + std::to_string(line) + " of a compressible text\n";
    WriteFile(root + "/nested/text.txt", text);
    WriteFile(root + "/nested/deeper/zero length", "");
    fs::create_symlink("with blanks/a file.txt", root + "/link to file");
    if (withHugeFile) {
        // Sparse: 4 GiB + 200 MiB with data at the start, just past 4 GiB and at the end.
        const std::string huge = root + "/huge.bin";
        const int fd = open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const off_t size = (off_t{4} << 30) + (off_t{200} << 20);
        const std::string marks = RandomBytes(70000, 11);
        EXPECT_EQ(pwrite(fd, marks.data(), marks.size(), 0), static_cast<ssize_t>(marks.size()));
        EXPECT_EQ(pwrite(fd, marks.data(), marks.size(), (off_t{4} << 30) + 4321),
                  static_cast<ssize_t>(marks.size()));
        EXPECT_EQ(pwrite(fd, marks.data(), 100, size - 100), 100);
        close(fd);
    }
}

std::string RandomBytes(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zov::test

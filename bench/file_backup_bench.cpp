// The file backup benchmark's helper.
//   file_backup_bench tree <folder> <files> <MiB>: writes a tree of that many files (100 per folder),
//     each half random bytes and half text, together of that size.
//   file_backup_bench change <folder> <every> <byte>: rewrites every <every>-th file of such a tree with that
//     byte (same size).
//   file_backup_bench copy|compressed|copy-diff|compressed-diff <source> <storage folder> <rar>: one run of a
//     full or differential task through CBackup (a differential task's first run writes its base).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "platform/ProgramDir.h"

namespace {

int MakeTree(const std::string& root, long files, long mebibytes) {
    constexpr std::size_t kPool = 8 * 1024 * 1024;
    std::mt19937_64 generator(20240305);
    std::string noise(kPool, '\0');
    for (char& byte : noise) byte = static_cast<char>(generator());
    const std::string words = "backup storage schedule archive volume stamp folder task service worker ";
    std::string text;
    while (text.size() < kPool) text += words;
    const long long total = mebibytes * 1024LL * 1024LL;
    const long long average = total / files;
    long long written = 0;
    char name[32];
    for (long index = 0; index < files; ++index) {
        const long long size = index + 1 < files ? average : total - written;
        std::snprintf(name, sizeof name, "d%03ld", index / 100);
        const std::filesystem::path folder = std::filesystem::path(root) / name;
        std::filesystem::create_directories(folder);
        std::snprintf(name, sizeof name, "f%05ld.dat", index);
        std::ofstream out(folder / name, std::ios::binary);
        const std::size_t half = static_cast<std::size_t>(size / 2);
        const std::size_t start = generator() % (kPool - half);
        out.write(noise.data() + start, static_cast<std::streamsize>(half));
        out.write(text.data() + start % 1024, static_cast<std::streamsize>(size - half));
        if (!out) return 1;
        written += size;
    }
    return 0;
}

// Rewrites every every-th file of the tree in name order with other bytes of the same size.
int ChangeTree(const std::string& root, long every, char fill) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (std::size_t index = 0; index < files.size(); index += static_cast<std::size_t>(every)) {
        std::string bytes(std::filesystem::file_size(files[index]), fill);
        std::ofstream out(files[index], std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "tree") == 0)
        return MakeTree(argv[2], std::stol(argv[3]), std::stol(argv[4]));
    if (argc == 5 && std::strcmp(argv[1], "change") == 0)
        return ChangeTree(argv[2], std::stol(argv[3]), argv[4][0]);
    const std::string mode = argc == 5 ? argv[1] : "";
    if (mode != "copy" && mode != "compressed" && mode != "copy-diff" && mode != "compressed-diff") {
        std::fprintf(stderr,
                     "usage: %s tree <folder> <files> <MiB> | change <folder> <every> <byte> | "
                     "copy|compressed|copy-diff|compressed-diff <source> <storage> <rar>\n",
                     argv[0]);
        return 2;
    }
    zov::TaskInfo task;
    task.id = 1;
    task.name = "bench";
    task.flags = zov::kTaskFile | (mode.starts_with("compressed") ? zov::kTaskCompress : 0);
    task.diff = mode.ends_with("-diff");
    task.basePeriod = 7;
    task.delBad = false;
    task.source = argv[2];
    task.dest = argv[3];
    std::string message;
    zov::StateLogSink status(zov::ProgramDir());
    zov::UnattendedAsker nobody;
    if (zov::CBackup().RunFileTask(task, argv[4], message, {status, nobody, {}}) == 0) {
        std::fprintf(stderr, "backup failed: %s\n", message.c_str());
        return 1;
    }
    return 0;
}

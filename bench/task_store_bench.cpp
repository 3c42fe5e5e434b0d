// The task store benchmark's helper.
//   task_store_bench make <task.db> <tasks>: writes a store of that many scheduled file tasks, each with a
//     filter and keep-days, their storage folders (made, with an empty "diff" folder) under the
//     folder of task.db; 850 such tasks fill the store.
//   task_store_bench compare <task.db> <runs>: that many runs of CQelXML::Load and of reading the file and
//     deciphering it alone, in turn in this one process; for each a line of the fastest, the median and the
//     first run in ms, and the most heap bytes live at once during a run. The first load of a file's version
//     also checks every record for the report.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/tasks/TaskStoreCipher.h"

namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void Count(std::size_t size) {
    const std::size_t now = live.fetch_add(size) + size;
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
}

}  // namespace

// Every allocation carries its size in front, so that the live bytes can be counted.
void* operator new(std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr) throw std::bad_alloc();
    *block = size;
    Count(size);
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void operator delete(void* pointer) noexcept {
    if (pointer == nullptr) return;
    char* block = static_cast<char*>(pointer) - sizeof(std::max_align_t);
    live.fetch_sub(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }

namespace {

int MakeStore(const std::string& path, int tasks) {
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    std::string text = "<SETUP>\n<TASK>|||||";
    zov::CQelXML writer;
    for (int id = 1; id <= tasks; ++id) {
        zov::TaskInfo task;
        task.id = id;
        task.name = "T" + std::to_string(id);
        task.flags = zov::kTaskFile | zov::kTaskScheduled | zov::kTaskKeepDays | zov::kTaskFilter;
        task.source = "/d/" + std::to_string(id) + "/";
        task.dest = folder + "s/" + std::to_string(id);
        task.times = "01:" + std::to_string(10 + id % 50);
        task.days.set();
        task.keepDays = 30;
        task.filter.exclude = true;
        for (const char* item : {"*.tmp", "~*"}) task.filter.Add(item);
        std::filesystem::create_directories(task.dest + "/diff");
        text += writer.FormatTask(task, true) + "|||||";
    }
    text += "\n</TASK>\n</SETUP>";
    return zov::WriteTaskStore(path, text) ? 0 : 1;
}

bool ReadAndDecipher(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    const bool read = ::pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    std::string text;
    std::string why;
    return read && zov::DecipherStoreText(bytes, text, why);
}

}  // namespace

// The runs of one side: their times and the most heap they held.
struct Side {
    std::vector<double> took;
    std::size_t mostLive = 0;

    bool Run(const std::function<bool()>& work) {
        const std::size_t before = live.load();
        peak = before;
        const auto start = std::chrono::steady_clock::now();
        if (!work()) return false;
        const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
        took.push_back(spent.count());
        mostLive = std::max(mostLive, peak.load() - before);
        return true;
    }

    void Print() {
        const double first = took.front();
        std::sort(took.begin(), took.end());
        std::printf("%.3f %.3f %.3f %zu\n", took.front(), took[took.size() / 2], first, mostLive);
    }
};

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s make <task.db> <tasks> | compare <task.db> <runs>\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    if (mode == "make") return MakeStore(path, std::atoi(argv[3]));
    const int runs = std::atoi(argv[3]);
    if (mode != "compare" || runs < 1) return 2;
    zov::CQelXML store;
    store.SetFilePath(path);
    Side load;
    Side decipher;
    for (int run = 0; run < runs; ++run) {
        if (!load.Run([&] { return store.Load(); }) || !decipher.Run([&] { return ReadAndDecipher(path); }))
            return 1;
    }
    load.Print();
    decipher.Print();
    return 0;
}

#include "platform/ProgramDir.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <forward_list>
#include <mutex>
#include <vector>

#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov {
namespace {

struct ProgramFolder {
    std::string path;
    bool named = false;
};

// Every folder ever published stays, so a reader never holds a freed one; readers take no lock (a child
// forked while another thread reads still finds it).
struct ProgramFolders {
    std::once_flag resolved;
    std::atomic<const ProgramFolder*> current{nullptr};
    std::mutex publishing;
    std::forward_list<ProgramFolder> published;
};

ProgramFolders& PublishedFolders() {
    static ProgramFolders folders;
    return folders;
}

std::string ExecutableFolder() {
    const std::string executable = ExecutablePath();
    return executable.substr(0, executable.rfind('/') + 1);
}

void Publish(ProgramFolders& folders, const std::string& named) {
    std::lock_guard lock(folders.publishing);
    const ProgramFolder& folder =
        folders.published.emplace_front(named.empty() ? ProgramFolder{ExecutableFolder(), false}
                                                      : ProgramFolder{WithTrailingSlash(named), true});
    folders.current.store(&folder, std::memory_order_release);
}

const ProgramFolder& Current() {
    ProgramFolders& folders = PublishedFolders();
    std::call_once(folders.resolved, [&folders] {
        const char* overridden = std::getenv(kProgramDirVariable);
        Publish(folders, overridden != nullptr ? overridden : "");
    });
    return *folders.current.load(std::memory_order_acquire);
}

}  // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string ProgramDir() { return Current().path; }

void SetProgramDir(const std::string& path) {
    Current();  // the environment, read first, cannot replace the folder named here
    Publish(PublishedFolders(), path);
}

std::optional<std::string> NamedProgramDir() {
    const ProgramFolder& folder = Current();
    if (!folder.named) return std::nullopt;
    return folder.path;
}

std::string RunFolderOf(const std::string& programDir) { return WithTrailingSlash(programDir) + "run/"; }

std::optional<std::string> PrivateRunFolder(const std::string& programDir) {
    std::string folder = RunFolderOf(programDir);
    if (!EnsurePrivateFolder(folder)) return std::nullopt;
    return folder;
}

}  // namespace zov

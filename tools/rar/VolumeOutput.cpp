#include "tools/rar/VolumeOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"
#include "tools/rar/Selection.h"
#include "tools/rar/VolumeNames.h"

namespace zov::rar {
namespace {

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

VolumeOutput::VolumeOutput(const std::string& archive, std::uint64_t volumeBytes, MadeFiles& made)
    : single_(SingleArchiveName(archive)),
      base_(VolumeBase(archive)),
      volumeBytes_(volumeBytes),
      made_(made) {}

VolumeOutput::~VolumeOutput() { Discard(); }

std::vector<std::string> VolumeOutput::FilesToReplace() const {
    std::vector<std::string> files;
    if (volumeBytes_ == 0) {
        files.push_back(single_);
        return files;
    }
    const std::string folder = ParentFolder(base_);
    const std::string prefix = base_.substr(0, base_.size() - NameOf(base_).size());
    for (const std::string& name : ListFolder(folder)) {
        if (IsVolumeOf(NameOf(base_), name)) files.push_back(prefix + name);
    }
    return files;
}

ExitCode VolumeOutput::Open(std::string& error) {
    const std::string folder = ParentFolder(volumeBytes_ == 0 ? single_ : base_);
    std::vector<std::string> missing;
    struct stat st {};
    for (std::string up = CleanSlashes(folder); !up.empty() && lstat(up.c_str(), &st) != 0;) {
        missing.push_back(up);
        const std::string parent = ParentFolder(up);
        if (parent == up) break;
        up = parent;
    }
    {
        const std::unique_lock lock = made_.Lock();
        if (!MakeFolders(folder)) {
            error = SystemError("cannot create folder", folder);
            return kCreateError;
        }
        for (const std::string& made : missing) made_.RecordLocked(made.c_str());
    }
    return StartVolume(error);
}

ExitCode VolumeOutput::StartVolume(std::string& error) {
    if (fd_ >= 0) {
        const ExitCode closed = CloseCurrent(error);
        if (closed != kSuccess) return closed;
    }
    std::string name = volumeBytes_ == 0 ? single_ : VolumeName(base_, temporaries_.size() + 1, 1);
    name += ".XXXXXX";
    std::unique_lock lock = made_.Lock();
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ >= 0) made_.RecordLocked(name.c_str());
    lock.unlock();
    if (fd_ < 0) {
        error = SystemError("cannot create", name.substr(0, name.size() - 7));
        return kCreateError;
    }
    temporaries_.push_back(name);
    // Readable by its owner only, whatever the umask and the modes of the source.
    if (fchmod(fd_, 0600) != 0) {
        error = SystemError("cannot create", name.substr(0, name.size() - 7));
        return kCreateError;
    }
    written_ = 0;
    return kSuccess;
}

ExitCode VolumeOutput::CloseCurrent(std::string& error) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        error = SystemError("write error in", temporaries_.back());
        return kWriteError;
    }
    return kSuccess;
}

ExitCode VolumeOutput::Write(const void* data, std::size_t length, std::string& error) {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        if (Interrupted()) {
            error = "interrupted";
            return kUserBreak;
        }
        if (volumeBytes_ > 0 && written_ == volumeBytes_) {
            const ExitCode started = StartVolume(error);
            if (started != kSuccess) return started;
        }
        std::size_t chunk = length;
        if (volumeBytes_ > 0)
            chunk = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, volumeBytes_ - written_));
        const ssize_t n = write(fd_, p, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            error = SystemError("write error in", temporaries_.back());
            return kWriteError;
        }
        p += n;
        length -= static_cast<std::size_t>(n);
        written_ += static_cast<std::uint64_t>(n);
    }
    return kSuccess;
}

ExitCode VolumeOutput::Commit(std::string& error) {
    if (fd_ >= 0) {
        const ExitCode closed = CloseCurrent(error);
        if (closed != kSuccess) return closed;
    }
    std::vector<std::string> finals;
    if (volumeBytes_ == 0) {
        finals.push_back(single_);
    } else {
        const int width = VolumeNumberWidth(temporaries_.size());
        for (std::size_t i = 0; i < temporaries_.size(); ++i)
            finals.push_back(VolumeName(base_, i + 1, width));
        // Volumes of an earlier set under this name would read as a continuation of the new one.
        for (const std::string& old : FilesToReplace()) unlink(old.c_str());
    }
    for (std::size_t i = 0; i < finals.size(); ++i) {
        if (rename(temporaries_[i].c_str(), finals[i].c_str()) != 0) {
            error = SystemError("cannot create", finals[i]);
            for (std::size_t j = 0; j < i; ++j) unlink(finals[j].c_str());
            return kCreateError;
        }
        temporaries_[i].clear();
    }
    temporaries_.clear();
    return kSuccess;
}

void VolumeOutput::Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    for (const std::string& name : temporaries_) {
        if (!name.empty()) unlink(name.c_str());
    }
    temporaries_.clear();
}

}  // namespace zov::rar

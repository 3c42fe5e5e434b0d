#include "tools/rar/VolumeInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "tools/rar/FileSystem.h"
#include "tools/rar/Interrupt.h"

namespace zov::rar {

VolumeInput::VolumeInput(std::vector<Volume> volumes) : volumes_(std::move(volumes)) {
    for (const Volume& volume : volumes_) {
        starts_.push_back(total_);
        total_ += volume.size;
    }
}

VolumeInput::~VolumeInput() {
    if (fd_ >= 0) close(fd_);
}

bool VolumeInput::Select(std::size_t index, std::string& error) {
    if (fd_ >= 0 && current_ == index) return true;
    if (fd_ >= 0) close(fd_);
    current_ = index;
    fd_ = open(volumes_[index].path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error = SystemError("cannot open", volumes_[index].path);
        return false;
    }
    return true;
}

bool VolumeInput::ReadAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got,
                         std::string& error) {
    got = 0;
    auto* out = static_cast<char*>(buffer);
    while (got < length && offset < total_) {
        // The last volume that starts at or before offset (empty volumes are passed over).
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), offset);
        const auto index = static_cast<std::size_t>(next - starts_.begin()) - 1;
        if (!Select(index, error)) return false;
        const std::uint64_t inVolume = offset - starts_[index];
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - got, volumes_[index].size - inVolume));
        const ssize_t n = pread(fd_, out + got, want, static_cast<off_t>(inVolume));
        if (n < 0 && errno == EINTR && !Interrupted()) continue;
        if (n <= 0) {
            error = n < 0 ? SystemError("read error in", volumes_[index].path)
                          : volumes_[index].path + " is shorter than expected";
            return false;
        }
        got += static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace zov::rar

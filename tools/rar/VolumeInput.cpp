#include "tools/rar/VolumeInput.h"

#include <archive.h>
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
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

VolumeInput::VolumeInput(std::vector<Volume> volumes) : volumes_(std::move(volumes)), buffer_(kBufferSize) {
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

int VolumeInput::OpenIn(archive* reader) {
    archive_read_set_callback_data(reader, this);
    archive_read_set_read_callback(reader, &VolumeInput::ReadCallback);
    archive_read_set_seek_callback(reader, &VolumeInput::SeekCallback);
    return archive_read_open1(reader);
}

long VolumeInput::ReadCallback(archive* reader, void* self, const void** buffer) {
    auto* input = static_cast<VolumeInput*>(self);
    std::size_t got = 0;
    std::string error;
    if (Interrupted()) {
        archive_set_error(reader, EINTR, "interrupted");
        return -1;
    }
    if (!input->ReadAt(input->position_, input->buffer_.data(), input->buffer_.size(), got, error)) {
        archive_set_error(reader, EIO, "%s", error.c_str());
        return -1;
    }
    input->position_ += got;
    *buffer = input->buffer_.data();
    return static_cast<long>(got);
}

std::int64_t VolumeInput::SeekCallback(archive*, void* self, std::int64_t offset, int whence) {
    auto* input = static_cast<VolumeInput*>(self);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<std::int64_t>(input->position_);
    } else if (whence == SEEK_END) {
        base = static_cast<std::int64_t>(input->total_);
    }
    const std::int64_t target = base + offset;
    if (target < 0) return ARCHIVE_FATAL;
    input->position_ = static_cast<std::uint64_t>(target);
    return target;
}

}  // namespace zov::rar

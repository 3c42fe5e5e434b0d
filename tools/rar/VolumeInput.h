#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/rar/VolumeNames.h"

namespace zov::rar {

// The volumes of a set read as one byte stream. At most one volume file is open at a time.
class VolumeInput {
  public:
    explicit VolumeInput(std::vector<Volume> volumes);
    ~VolumeInput();
    VolumeInput(const VolumeInput&) = delete;
    VolumeInput& operator=(const VolumeInput&) = delete;

    std::uint64_t size() const { return total_; }
    const std::vector<Volume>& volumes() const { return volumes_; }

    // Reads up to length bytes at offset (fewer only at the end); false with a message on a read error.
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length, std::size_t& got, std::string& error);

  private:
    bool Select(std::size_t index, std::string& error);

    std::vector<Volume> volumes_;
    std::vector<std::uint64_t> starts_;
    std::uint64_t total_ = 0;
    std::size_t current_ = 0;
    int fd_ = -1;
};

}  // namespace zov::rar

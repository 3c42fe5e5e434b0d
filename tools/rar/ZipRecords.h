#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zov::rar {

// What the headers of one entry say. Sizes are those of the stored data (with the AES salt, check and code).
struct ZipEntry {
    std::string name;  // as stored; folders end with '/'
    struct stat st {};
    std::string link;              // a symbolic link's target (its data)
    std::uint16_t method = 0;      // 0 stored, 8 deflate
    std::uint16_t aesVersion = 0;  // 0 not encrypted, else WinZip AE-1 or AE-2
    bool descriptor = false;       // sizes and CRC follow the data
    bool zip64Descriptor = false;  // ... as 8-byte sizes (the entry may pass 4 GiB)
    std::uint32_t crc = 0;
    std::uint64_t storedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;  // of the local header in the stream
};

// Entries whose size may reach this get 8-byte sizes in their data descriptor.
inline constexpr std::uint64_t kZip64Threshold = 0xFF000000;

void AppendLocalHeader(const ZipEntry& entry, std::vector<char>& out);
void AppendDescriptor(const ZipEntry& entry, std::vector<char>& out);
void AppendCentralHeader(const ZipEntry& entry, std::vector<char>& out);
// The end of the central directory (with the ZIP64 records when the counts or offsets need them).
void AppendEndRecords(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directorySize,
                      std::vector<char>& out);

}  // namespace zov::rar

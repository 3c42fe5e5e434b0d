#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zov::rar {

class VolumeInput;

// What the end of a byte stream says about it, read before any entry is.
enum class StreamKind {
    Zip,         // end record and central directory in place
    NotArchive,  // neither a ZIP start nor a ZIP end
    Cut,         // starts like a ZIP but its end record is missing: truncated, or later volumes missing
    Damaged,     // end record present but the central directory does not fit
};

enum class EntryType { File, Folder, Link };

// One entry as the central directory describes it. Names are their bytes as stored.
struct ZipListing {
    std::string name;  // without the '/' that ends a folder's
    EntryType type = EntryType::File;
    std::uint16_t method = 0;  // 0 stored, 8 deflate (for AES entries: the method inside)
    bool encrypted = false;    // WinZip AES-256
    bool checkCrc = true;      // false for AES entries of version 2, whose CRC field is 0
    bool supported = true;     // a method and an encryption this reader knows
    std::uint32_t crc = 0;
    std::uint64_t storedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
    mode_t mode = 0;  // permission bits
    uid_t uid = 0;
    gid_t gid = 0;
    timespec mtime{};
    std::optional<timespec> atime;
};

struct ZipDirectory {
    StreamKind kind = StreamKind::NotArchive;
    std::string error;  // read error of the volumes, or what does not fit, when kind is Damaged
    std::vector<ZipListing> entries;
    std::uint64_t directoryOffset = 0;  // where the entries' data ends
};

ZipDirectory ReadZipDirectory(VolumeInput& input);

}  // namespace zov::rar

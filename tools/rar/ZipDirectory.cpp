#include "tools/rar/ZipDirectory.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "tools/rar/VolumeInput.h"

namespace zov::rar {
namespace {

constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::uint64_t kMaxDirectoryBytes = std::uint64_t{1} << 31;

std::uint64_t Little(const char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(p[i]);
    return value;
}

bool Read(VolumeInput& input, std::uint64_t offset, std::size_t length, std::vector<char>& out,
          std::string& error) {
    out.resize(length);
    std::size_t got = 0;
    if (!input.ReadAt(offset, out.data(), length, got, error)) return false;
    out.resize(got);
    return got == length;
}

struct EndRecord {
    std::uint64_t position = 0;
    std::uint64_t directoryOffset = 0;
    std::uint64_t directorySize = 0;
    std::uint64_t entries = 0;
    bool needsZip64 = false;
};

// The end-of-central-directory record whose comment runs exactly to the end of the stream.
bool FindEndRecord(const std::vector<char>& tail, std::uint64_t tailStart, EndRecord& end) {
    if (tail.size() < kEndRecordSize) return false;
    for (std::size_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
        const char* p = tail.data() + i;
        if (std::memcmp(p, "PK\5\6", 4) != 0) continue;
        if (i + kEndRecordSize + Little(p + 20, 2) != tail.size()) continue;
        end.position = tailStart + i;
        end.entries = Little(p + 10, 2);
        end.directorySize = Little(p + 12, 4);
        end.directoryOffset = Little(p + 16, 4);
        end.needsZip64 =
            end.entries == 0xFFFF || end.directorySize == 0xFFFFFFFF || end.directoryOffset == 0xFFFFFFFF;
        return true;
    }
    return false;
}

bool ReadZip64End(VolumeInput& input, EndRecord& end, std::string& error) {
    if (end.position < kZip64LocatorSize) return false;
    std::vector<char> locator;
    if (!Read(input, end.position - kZip64LocatorSize, kZip64LocatorSize, locator, error)) return false;
    if (std::memcmp(locator.data(), "PK\6\7", 4) != 0) return false;
    const std::uint64_t recordOffset = Little(locator.data() + 8, 8);
    std::vector<char> record;
    if (recordOffset + kZip64EndSize > end.position) return false;
    if (!Read(input, recordOffset, kZip64EndSize, record, error)) return false;
    if (std::memcmp(record.data(), "PK\6\6", 4) != 0) return false;
    end.entries = Little(record.data() + 32, 8);
    end.directorySize = Little(record.data() + 40, 8);
    end.directoryOffset = Little(record.data() + 48, 8);
    end.position = recordOffset;
    return true;
}

constexpr std::uint16_t kFlagEncrypted = 1 << 0;
constexpr std::uint16_t kMethodAes = 99;
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;
constexpr unsigned kUnixCreator = 3;
constexpr int kAes256 = 3;

timespec Seconds(std::uint64_t unixTime) {
    return {static_cast<time_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(unixTime))), 0};
}

timespec FromDosTime(std::uint64_t dos) {
    struct tm local {};
    local.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
    local.tm_min = static_cast<int>((dos >> 5) & 0x3F);
    local.tm_sec = static_cast<int>((dos & 0x1F) * 2);
    local.tm_isdst = -1;
    return {mktime(&local), 0};
}

// The extra fields this reader takes: ZIP64 sizes and offset, times, owner and the AES parameters. False
// when one of them does not fit.
bool ReadExtras(const char* p, std::size_t length, ZipListing& entry, std::uint16_t storedMethod) {
    bool aesSeen = false;
    while (length >= 4) {
        const std::uint64_t id = Little(p, 2);
        const std::size_t size = Little(p + 2, 2);
        if (size > length - 4) return false;
        const char* data = p + 4;
        if (id == 0x0001) {
            std::size_t at = 0;
            for (std::uint64_t* field : {&entry.size, &entry.storedSize, &entry.localOffset}) {
                if (*field != kMax32) continue;
                if (at + 8 > size) return false;
                *field = Little(data + at, 8);
                at += 8;
            }
        } else if (id == 0x5455 && size >= 1) {
            const unsigned flags = static_cast<unsigned char>(data[0]);
            std::size_t at = 1;
            if ((flags & 1) != 0 && at + 4 <= size) {
                entry.mtime = Seconds(Little(data + at, 4));
                at += 4;
            }
            if ((flags & 2) != 0 && at + 4 <= size) entry.atime = Seconds(Little(data + at, 4));
        } else if (id == 0x7875 && size >= 3 && data[0] == 1) {
            const std::size_t uidBytes = static_cast<unsigned char>(data[1]);
            if (uidBytes >= 1 && uidBytes <= 4 && 2 + uidBytes + 1 <= size) {
                const std::size_t gidBytes = static_cast<unsigned char>(data[2 + uidBytes]);
                entry.uid = static_cast<uid_t>(Little(data + 2, static_cast<int>(uidBytes)));
                if (gidBytes >= 1 && gidBytes <= 4 && 3 + uidBytes + gidBytes <= size)
                    entry.gid = static_cast<gid_t>(Little(data + 3 + uidBytes, static_cast<int>(gidBytes)));
            }
        } else if (id == 0x9901 && size >= 7 && storedMethod == kMethodAes) {
            aesSeen = std::memcmp(data + 2, "AE", 2) == 0 && data[4] == kAes256;
            entry.checkCrc = Little(data, 2) != 2;
            entry.method = static_cast<std::uint16_t>(Little(data + 5, 2));
        }
        p += 4 + size;
        length -= 4 + size;
    }
    if (entry.encrypted && !aesSeen) entry.supported = false;
    if (entry.method != 0 && entry.method != 8) entry.supported = false;
    return true;
}

bool ParseEntries(const std::vector<char>& directory, std::uint64_t entries, ZipDirectory& result) {
    std::size_t at = 0;
    result.entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entries, directory.size() / 46)));
    for (std::uint64_t n = 0; n < entries; ++n) {
        if (at + kCentralHeaderSize > directory.size()) return false;
        const char* p = directory.data() + at;
        if (std::memcmp(p, "PK\1\2", 4) != 0) return false;
        const std::size_t nameLength = Little(p + 28, 2);
        const std::size_t extraLength = Little(p + 30, 2);
        const std::size_t commentLength = Little(p + 32, 2);
        if (at + kCentralHeaderSize + nameLength + extraLength > directory.size()) return false;
        ZipListing entry;
        const auto flags = static_cast<std::uint16_t>(Little(p + 8, 2));
        const auto storedMethod = static_cast<std::uint16_t>(Little(p + 10, 2));
        entry.method = storedMethod;
        entry.encrypted = (flags & kFlagEncrypted) != 0;
        entry.crc = static_cast<std::uint32_t>(Little(p + 16, 4));
        entry.storedSize = Little(p + 20, 4);
        entry.size = Little(p + 24, 4);
        entry.localOffset = Little(p + 42, 4);
        entry.mtime = FromDosTime(Little(p + 12, 4));
        entry.name.assign(p + kCentralHeaderSize, nameLength);
        if (!ReadExtras(p + kCentralHeaderSize + nameLength, extraLength, entry, storedMethod)) return false;
        const auto external = static_cast<std::uint32_t>(Little(p + 38, 4));
        const bool unix = (Little(p + 4, 2) >> 8) == kUnixCreator && (external >> 16) != 0;
        const auto unixMode = static_cast<mode_t>(external >> 16);
        const bool slash = !entry.name.empty() && entry.name.back() == '/';
        if (slash || (unix && S_ISDIR(unixMode))) {
            entry.type = EntryType::Folder;
        } else if (unix && S_ISLNK(unixMode)) {
            entry.type = EntryType::Link;
        }
        while (entry.name.size() > 1 && entry.name.back() == '/') entry.name.pop_back();
        entry.mode = unix ? unixMode & 07777 : entry.type == EntryType::Folder ? 0755 : 0644;
        result.entries.push_back(std::move(entry));
        at += kCentralHeaderSize + nameLength + extraLength + commentLength;
    }
    return true;
}

}  // namespace

ZipDirectory ReadZipDirectory(VolumeInput& input) {
    ZipDirectory result;
    const std::uint64_t size = input.size();
    std::vector<char> head;
    if (size < 4 || !Read(input, 0, 4, head, result.error)) {
        result.kind = result.error.empty() ? StreamKind::NotArchive : StreamKind::Damaged;
        return result;
    }
    const bool zipStart =
        std::memcmp(head.data(), "PK\3\4", 4) == 0 || std::memcmp(head.data(), "PK\5\6", 4) == 0;

    const std::uint64_t tailLength = std::min<std::uint64_t>(size, kEndRecordSize + kMaxCommentSize);
    std::vector<char> tail;
    EndRecord end;
    if (!Read(input, size - tailLength, tailLength, tail, result.error)) {
        result.kind = StreamKind::Damaged;
        return result;
    }
    if (!FindEndRecord(tail, size - tailLength, end)) {
        result.kind = zipStart ? StreamKind::Cut : StreamKind::NotArchive;
        return result;
    }
    result.kind = StreamKind::Damaged;
    if (end.needsZip64 && !ReadZip64End(input, end, result.error)) return result;
    if (end.directoryOffset > end.position || end.directorySize > end.position - end.directoryOffset ||
        end.directorySize > kMaxDirectoryBytes) {
        return result;
    }
    std::vector<char> directory;
    if (!Read(input, end.directoryOffset, static_cast<std::size_t>(end.directorySize), directory,
              result.error)) {
        return result;
    }
    if (!ParseEntries(directory, end.entries, result)) return result;
    result.directoryOffset = end.directoryOffset;
    result.kind = StreamKind::Zip;
    return result;
}

}  // namespace zov::rar

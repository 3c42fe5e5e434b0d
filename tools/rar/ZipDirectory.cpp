#include "tools/rar/ZipDirectory.h"

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

bool CollectBackslashNames(const std::vector<char>& directory, std::uint64_t entries, ZipDirectory& result) {
    std::size_t at = 0;
    for (std::uint64_t n = 0; n < entries; ++n) {
        if (at + kCentralHeaderSize > directory.size()) return false;
        const char* p = directory.data() + at;
        if (std::memcmp(p, "PK\1\2", 4) != 0) return false;
        const std::size_t nameLength = Little(p + 28, 2);
        const std::size_t extraLength = Little(p + 30, 2);
        const std::size_t commentLength = Little(p + 32, 2);
        if (at + kCentralHeaderSize + nameLength > directory.size()) return false;
        const std::string name(p + kCentralHeaderSize, nameLength);
        if (name.find('\\') != std::string::npos && name.find('/') == std::string::npos) {
            std::string reported = name;
            std::replace(reported.begin(), reported.end(), '\\', '/');
            result.backslashNames[reported] = name;
        }
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
    if (!CollectBackslashNames(directory, end.entries, result)) return result;
    result.kind = StreamKind::Zip;
    return result;
}

}  // namespace zov::rar

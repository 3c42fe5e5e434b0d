#include "tools/rar/ZipRecords.h"

#include <time.h>

#include <algorithm>
#include <limits>

namespace zov::rar {
namespace {

constexpr std::uint16_t kMadeByUnix = (3 << 8) | 20;
constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kFlagEncrypted = 1 << 0;
constexpr std::uint16_t kFlagDescriptor = 1 << 3;
constexpr std::uint16_t kFlagUtf8 = 1 << 11;
constexpr std::uint16_t kMethodAes = 99;
constexpr std::uint32_t kMax32 = 0xFFFFFFFF;

void Put16(std::vector<char>& out, std::uint64_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void Put32(std::vector<char>& out, std::uint64_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}
void Put64(std::vector<char>& out, std::uint64_t value) {
    Put32(out, value & kMax32);
    Put32(out, value >> 32);
}
void PutText(std::vector<char>& out, const char* text, std::size_t length) {
    out.insert(out.end(), text, text + length);
}

// True for well-formed UTF-8: no stray or overlong bytes, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        std::uint32_t code = lead;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else if (lead >= 0x80) {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t smallest = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Non-ASCII names are marked as UTF-8 when they are; a name or link that is not is written unmarked, so that
// it is read back as its bytes.
std::uint16_t Flags(const ZipEntry& entry) {
    std::uint16_t flags = 0;
    if (entry.aesVersion != 0) flags |= kFlagEncrypted;
    if (entry.descriptor) flags |= kFlagDescriptor;
    if (!(IsAscii(entry.name) && IsAscii(entry.link)) && IsUtf8(entry.name) && IsUtf8(entry.link))
        flags |= kFlagUtf8;
    return flags;
}

std::uint32_t DosTime(time_t when) {
    struct tm local {};
    localtime_r(&when, &local);
    if (local.tm_year < 80) return (1 << 21) | (1 << 16);  // 1980-01-01 00:00
    const int year = std::min(local.tm_year - 80, 127);
    return static_cast<std::uint32_t>(year << 25 | (local.tm_mon + 1) << 21 | local.tm_mday << 16 |
                                      local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

std::uint32_t UnixTime(time_t when) {
    const auto clamped = std::clamp<std::int64_t>(when, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

std::uint16_t StoredMethod(const ZipEntry& entry) {
    return entry.aesVersion != 0 ? kMethodAes : entry.method;
}

// Times, owner and, for encrypted entries, the AES parameters; the same in both headers.
void AppendCommonExtras(const ZipEntry& entry, std::vector<char>& out) {
    Put16(out, 0x5455);
    Put16(out, 13);
    out.push_back(7);
    Put32(out, UnixTime(entry.st.st_mtime));
    Put32(out, UnixTime(entry.st.st_atime));
    Put32(out, UnixTime(entry.st.st_ctime));
    Put16(out, 0x7875);
    Put16(out, 11);
    out.push_back(1);
    out.push_back(4);
    Put32(out, entry.st.st_uid);
    out.push_back(4);
    Put32(out, entry.st.st_gid);
    if (entry.aesVersion != 0) {
        Put16(out, 0x9901);
        Put16(out, 7);
        Put16(out, entry.aesVersion);
        PutText(out, "AE", 2);
        out.push_back(3);  // AES-256
        Put16(out, entry.method);
    }
}

constexpr std::size_t kCommonExtrasBytes = 4 + 13 + 4 + 11;
constexpr std::size_t kAesExtraBytes = 4 + 7;

std::size_t CommonExtrasBytes(const ZipEntry& entry) {
    return kCommonExtrasBytes + (entry.aesVersion != 0 ? kAesExtraBytes : 0);
}

}  // namespace

void AppendLocalHeader(const ZipEntry& entry, std::vector<char>& out) {
    const std::uint32_t dosTime = DosTime(entry.st.st_mtime);
    PutText(out, "PK\3\4", 4);
    Put16(out, entry.zip64Descriptor ? kVersionZip64 : kVersionNeeded);
    Put16(out, Flags(entry));
    Put16(out, StoredMethod(entry));
    Put32(out, dosTime);
    if (entry.zip64Descriptor) {
        Put32(out, 0);
        Put32(out, kMax32);
        Put32(out, kMax32);
    } else if (entry.descriptor) {
        Put32(out, 0);
        Put32(out, 0);
        Put32(out, 0);
    } else {
        Put32(out, entry.crc);
        Put32(out, entry.storedSize);
        Put32(out, entry.size);
    }
    Put16(out, entry.name.size());
    Put16(out, CommonExtrasBytes(entry) + (entry.zip64Descriptor ? 20 : 0));
    PutText(out, entry.name.data(), entry.name.size());
    if (entry.zip64Descriptor) {
        Put16(out, 0x0001);
        Put16(out, 16);
        Put64(out, 0);
        Put64(out, 0);
    }
    AppendCommonExtras(entry, out);
}

void AppendDescriptor(const ZipEntry& entry, std::vector<char>& out) {
    PutText(out, "PK\7\10", 4);
    Put32(out, entry.crc);
    if (entry.zip64Descriptor) {
        Put64(out, entry.storedSize);
        Put64(out, entry.size);
    } else {
        Put32(out, entry.storedSize);
        Put32(out, entry.size);
    }
}

void AppendCentralHeader(const ZipEntry& entry, std::vector<char>& out) {
    const bool bigSize = entry.size >= kMax32;
    const bool bigStored = entry.storedSize >= kMax32;
    const bool bigOffset = entry.offset >= kMax32;
    const std::size_t zip64Bytes = 8 * (bigSize + bigStored + bigOffset);
    const bool zip64 = zip64Bytes > 0 || entry.zip64Descriptor;
    PutText(out, "PK\1\2", 4);
    Put16(out, kMadeByUnix);
    Put16(out, zip64 ? kVersionZip64 : kVersionNeeded);
    Put16(out, Flags(entry));
    Put16(out, StoredMethod(entry));
    Put32(out, DosTime(entry.st.st_mtime));
    Put32(out, entry.crc);
    Put32(out, bigStored ? kMax32 : entry.storedSize);
    Put32(out, bigSize ? kMax32 : entry.size);
    Put16(out, entry.name.size());
    Put16(out, CommonExtrasBytes(entry) + (zip64Bytes > 0 ? 4 + zip64Bytes : 0));
    Put16(out, 0);  // comment
    Put16(out, 0);  // disk
    Put16(out, 0);  // internal attributes
    Put32(out, static_cast<std::uint64_t>(entry.st.st_mode) << 16);
    Put32(out, bigOffset ? kMax32 : entry.offset);
    PutText(out, entry.name.data(), entry.name.size());
    if (zip64Bytes > 0) {
        Put16(out, 0x0001);
        Put16(out, zip64Bytes);
        if (bigSize) Put64(out, entry.size);
        if (bigStored) Put64(out, entry.storedSize);
        if (bigOffset) Put64(out, entry.offset);
    }
    AppendCommonExtras(entry, out);
}

void AppendEndRecords(std::uint64_t entries, std::uint64_t directoryOffset, std::uint64_t directorySize,
                      std::vector<char>& out) {
    const bool zip64 = entries >= 0xFFFF || directoryOffset >= kMax32 || directorySize >= kMax32;
    if (zip64) {
        const std::uint64_t recordOffset = directoryOffset + directorySize;
        PutText(out, "PK\6\6", 4);
        Put64(out, 44);
        Put16(out, kMadeByUnix);
        Put16(out, kVersionZip64);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entries);
        Put64(out, entries);
        Put64(out, directorySize);
        Put64(out, directoryOffset);
        PutText(out, "PK\6\7", 4);
        Put32(out, 0);
        Put64(out, recordOffset);
        Put32(out, 1);
    }
    PutText(out, "PK\5\6", 4);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64 ? 0xFFFF : entries);
    Put16(out, zip64 ? 0xFFFF : entries);
    Put32(out, zip64 ? kMax32 : directorySize);
    Put32(out, zip64 ? kMax32 : directoryOffset);
    Put16(out, 0);  // comment
}

}  // namespace zov::rar

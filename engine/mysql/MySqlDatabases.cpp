#include "engine/mysql/MySqlDatabases.h"

#include <algorithm>

#include "engine/mysql/MySqlFileNameCodes.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr std::size_t kHexDigits = 4;
constexpr std::size_t kLetterCodeLength = 2;

bool IsPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::optional<char32_t> HexCode(std::string_view digits) {
    if (digits.size() != kHexDigits) return std::nullopt;
    char32_t value = 0;
    for (char c : digits) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<char32_t>(digit);
    }
    // Surrogates are no characters; NUL ends no name.
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return value;
}

void AppendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of UTF-8 text at at, which it moves past; nullopt when the text is not UTF-8.
std::optional<char32_t> NextUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 0;
    if (length == 0 || at + length > text.size()) return std::nullopt;
    char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : (lead & 0x0F);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    const char32_t least = length == 1 ? 0 : length == 2 ? 0x80 : 0x800;
    if (c < least || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += length;
    return c;
}

}  // namespace

std::optional<std::string> EncodeMySqlFileName(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string fileName;
    for (std::size_t at = 0; at < name.size();) {
        const std::optional<char32_t> c = NextUtf8(name, at);
        if (!c || *c == 0) return std::nullopt;
        if (*c < 0x80 && IsPlain(static_cast<char>(*c))) {
            fileName += static_cast<char>(*c);
        } else if (const std::string_view code = MySqlCodeOfLetter(*c); !code.empty()) {
            fileName += "@" + std::string(code);
        } else {
            fileName += '@';
            for (int shift = 12; shift >= 0; shift -= 4) fileName += kHex[(*c >> shift) & 0xF];
        }
    }
    return fileName;
}

std::optional<std::string> DecodeMySqlFileName(std::string_view fileName) {
    if (fileName.empty()) return std::nullopt;
    std::string name;
    for (std::size_t at = 0; at < fileName.size();) {
        const char c = fileName[at];
        if (IsPlain(c)) {
            name += c;
            ++at;
            continue;
        }
        if (c != '@') return std::nullopt;
        if (std::optional<char32_t> hex = HexCode(fileName.substr(at + 1, kHexDigits))) {
            AppendUtf8(name, *hex);
            at += 1 + kHexDigits;
        } else if (std::optional<char32_t> letter =
                       MySqlLetterOfCode(fileName.substr(at + 1, kLetterCodeLength))) {
            AppendUtf8(name, *letter);
            at += 1 + kLetterCodeLength;
        } else {
            return std::nullopt;
        }
    }
    return name;
}

std::vector<MySqlDatabase> ListMySqlDatabases(const std::string& dataDir) {
    std::vector<MySqlDatabase> databases;
    const std::string folder = WithTrailingSlash(dataDir);
    for (const std::string& entry : ListDirectory(folder)) {
        if (!IsDirectory(folder + entry)) continue;
        if (std::optional<std::string> name = DecodeMySqlFileName(entry)) databases.push_back({*name, entry});
    }
    std::sort(databases.begin(), databases.end(),
              [](const MySqlDatabase& a, const MySqlDatabase& b) { return a.name < b.name; });
    return databases;
}

std::string MySqlDumpTitle(const MySqlDatabase& database) {
    return database.name.find('/') == std::string::npos ? database.name : database.folder;
}

std::string MySqlDatabaseOfDumpTitle(const std::string& title) {
    const std::optional<std::string> name = DecodeMySqlFileName(title);
    return name && name->find('/') != std::string::npos ? *name : title;
}

}  // namespace zov

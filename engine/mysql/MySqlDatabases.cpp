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

}  // namespace

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

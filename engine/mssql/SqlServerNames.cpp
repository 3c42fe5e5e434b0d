#include "engine/mssql/SqlServerNames.h"

#include <algorithm>

namespace zov {
namespace {

std::string Doubled(std::string_view text, char mark) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == mark) out += c;
    }
    return out;
}

}  // namespace

std::string BracketEscaped(std::string_view name) { return Doubled(name, ']'); }

std::string QuoteEscaped(std::string_view text) { return Doubled(text, '\''); }

std::string DatabaseFileName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || byte < 0x20 || byte == 0x7F) c = '_';
    }
    return out;
}

std::string DatabaseOfFileName(const std::string& fileName, const std::vector<std::string>& databases) {
    if (std::find(databases.begin(), databases.end(), fileName) != databases.end()) return fileName;
    const std::string* found = nullptr;
    for (const std::string& database : databases) {
        if (DatabaseFileName(database) != fileName) continue;
        if (found != nullptr) return fileName;
        found = &database;
    }
    return found != nullptr ? *found : fileName;
}

}  // namespace zov

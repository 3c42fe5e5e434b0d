#include "engine/mssql/SqlServerNames.h"

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

}  // namespace zov

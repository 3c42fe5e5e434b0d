#pragma once

#include <optional>
#include <string_view>

namespace zov {

struct MySqlLetterCode {
    char code[3];
    char32_t letter;
};

// The letter that the server's file names write as '@' followed by the two characters of code; nullopt
// when code is no such pair.
std::optional<char32_t> MySqlLetterOfCode(std::string_view code);

}  // namespace zov

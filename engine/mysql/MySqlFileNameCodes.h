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

// The two characters the server writes after '@' for the letter; "" when it has none.
std::string_view MySqlCodeOfLetter(char32_t letter);

}  // namespace zov

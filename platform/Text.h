#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Byte-text rules shared by every layer: case folding touches ASCII letters only, and byte limits never
// cut a UTF-8 character.
namespace zov {

inline char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// The longest prefix of at most maxBytes bytes that ends on a character boundary.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace zov

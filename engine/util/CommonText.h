#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Text.h"

// Text helpers: ASCII case folding, splitting, tag texts, regular expressions.
namespace zov {

// Folds ASCII letters only.
void ToLower(std::string& text);
std::string LowerCopy(std::string_view text);

// Splits text at separator and appends the pieces of at least minLength bytes in order. With minLength 1
// empty pieces are dropped: "a||b|" gives a, b. A text without the separator is appended whole, whatever
// its length: "" gives one empty piece.
void SplitToList(std::vector<std::string>& out, std::string_view text, char separator, bool clearFirst = true,
                 std::size_t minLength = 1);
// The same with a separator text; returns the number of entries in out.
std::size_t SplitToArray(std::vector<std::string>& out, std::string_view text, std::string_view separator,
                         bool clearFirst = true, std::size_t minLength = 1);

// The text between the first start marker and the first end marker after it; "" when any argument is
// empty or no end marker follows the start marker.
std::string TextBetween(std::string_view text, std::string_view start, std::string_view end);

// Puts value between the first start tag and the first end tag after it:
//   neither tag: start + value + end is appended;
//   both: text up to the end of the start tag + value + text from the end tag on;
//   only end: text before it + start + value + text from the end tag on;
//   only start: text up to the end of the start tag + value + end + the rest after the start tag.
// False (text unchanged) only when a tag is empty.
bool ReplaceBetween(std::string& text, std::string_view value, std::string_view start, std::string_view end);

// True when pattern (PCRE2, default options) matches somewhere in subject. False when either is empty
// or the pattern does not compile.
bool RegexMatch(std::string_view subject, std::string_view pattern);

// text followed by the system's reason for the error number ("（No space left on device）"); text
// alone for 0.
std::string WithSystemReason(const std::string& text, int code);

// Appends source to target, emptying target first when asked.
void AppendStringArray(std::vector<std::string>& target, const std::vector<std::string>& source,
                       bool clearFirst);

}  // namespace zov

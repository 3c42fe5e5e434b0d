#include "engine/util/CommonText.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <string.h>

namespace zov {

void ToLower(std::string& text) {
    for (char& c : text) c = FoldAscii(c);
}

std::string LowerCopy(std::string_view text) { return LowerAscii(text); }

namespace {

void AppendPieces(std::vector<std::string>& out, std::string_view text, std::string_view separator,
                  bool clearFirst, std::size_t minLength) {
    if (clearFirst) out.clear();
    // A text without the separator is one piece, whatever its length.
    if (separator.empty() || text.find(separator) == std::string_view::npos) {
        out.emplace_back(text);
        return;
    }
    std::size_t begin = 0;
    while (true) {
        const std::size_t found = text.find(separator, begin);
        const std::string_view piece =
            text.substr(begin, found == std::string_view::npos ? std::string_view::npos : found - begin);
        if (piece.size() >= minLength) out.emplace_back(piece);
        if (found == std::string_view::npos) break;
        begin = found + separator.size();
    }
}

}  // namespace

void SplitToList(std::vector<std::string>& out, std::string_view text, char separator, bool clearFirst,
                 std::size_t minLength) {
    AppendPieces(out, text, std::string_view(&separator, 1), clearFirst, minLength);
}

std::size_t SplitToArray(std::vector<std::string>& out, std::string_view text, std::string_view separator,
                         bool clearFirst, std::size_t minLength) {
    AppendPieces(out, text, separator, clearFirst, minLength);
    return out.size();
}

std::string TextBetween(std::string_view text, std::string_view start, std::string_view end) {
    if (text.empty() || start.empty() || end.empty()) return "";
    const std::size_t startAt = text.find(start);
    if (startAt == std::string_view::npos) return "";
    const std::size_t valueAt = startAt + start.size();
    const std::size_t endAt = text.find(end, valueAt);
    if (endAt == std::string_view::npos) return "";
    return std::string(text.substr(valueAt, endAt - valueAt));
}

bool ReplaceBetween(std::string& text, std::string_view value, std::string_view start, std::string_view end) {
    if (start.empty() || end.empty()) return false;
    const std::size_t startAt = text.find(start);
    // An end tag counts only after the start tag, so a stray end tag before it is never cut out.
    const std::size_t endAt = text.find(end, startAt == std::string::npos ? 0 : startAt + start.size());
    std::string result;
    if (startAt == std::string::npos && endAt == std::string::npos) {
        result = text;
        result.append(start).append(value).append(end);
    } else if (startAt != std::string::npos && endAt != std::string::npos) {
        result = text.substr(0, startAt + start.size());
        result.append(value).append(text, endAt);
    } else if (endAt != std::string::npos) {
        result = text.substr(0, endAt);
        result.append(start).append(value).append(text, endAt);
    } else {
        const std::size_t valueAt = startAt + start.size();
        result = text.substr(0, valueAt);
        result.append(value).append(end).append(text, valueAt);
    }
    text = std::move(result);
    return true;
}

bool RegexMatch(std::string_view subject, std::string_view pattern) {
    if (subject.empty() || pattern.empty()) return false;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), 0, &error,
                                     &errorOffset, nullptr);
    if (code == nullptr) return false;
    pcre2_match_data* match = pcre2_match_data_create_from_pattern(code, nullptr);
    const int found = match == nullptr ? -1
                                       : pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                                     subject.size(), 0, 0, match, nullptr);
    pcre2_match_data_free(match);
    pcre2_code_free(code);
    return found >= 0;
}

void AppendStringArray(std::vector<std::string>& target, const std::vector<std::string>& source,
                       bool clearFirst) {
    if (clearFirst) target.clear();
    target.insert(target.end(), source.begin(), source.end());
}

std::string WithSystemReason(const std::string& text, int code) {
    if (code == 0) return text;
    char buffer[256];
    return text + "（" + ::strerror_r(code, buffer, sizeof buffer) + "）";
}

}  // namespace zov

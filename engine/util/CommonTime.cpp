#include "engine/util/CommonTime.h"

#include <algorithm>

namespace zov {

namespace {

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PadTwo(std::string_view part) {
    std::string padded(part);
    while (padded.size() < 2) padded.insert(padded.begin(), '0');
    return padded;
}

}  // namespace

void NormalizeTimeText(std::string& time) {
    if (!time.empty() && time.back() == ':') time.pop_back();
    const std::size_t colon = time.find(':');
    if (colon == std::string::npos) {
        if (!AllDigits(time) || time.size() > 2) return;
        const int hour = std::stoi(time);
        if (hour >= 1 && hour <= 23) time = PadTwo(std::to_string(hour)) + ":00";
        return;
    }
    if (time.size() < 3) return;
    time = PadTwo(std::string_view(time).substr(0, colon)) + ":" +
           PadTwo(std::string_view(time).substr(colon + 1));
}

std::string ConvertTimeStamp(std::string_view text, bool toDigits) {
    std::string result;
    if (toDigits) {
        if (text.size() != 16 && text.size() != 19) return "";
        for (char c : text) {
            if (c != '-' && c != ':' && c != ' ') result += c;
        }
        return result;
    }
    if (text.size() != 12 && text.size() != 14) return "";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 4 || i == 6) result += '-';
        if (i == 8) result += ' ';
        if (i == 10 || i == 12) result += ':';
        result += text[i];
    }
    return result;
}

}  // namespace zov

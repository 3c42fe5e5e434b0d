#pragma once

#include <string>
#include <string_view>

namespace zov {

// Turns a typed time into "HH:MM": "7" -> "07:00", "12" -> "12:00", "7:5" -> "07:05", "07:30:" -> "07:30";
// other texts ("24", "0") stay unchanged.
void NormalizeTimeText(std::string& time);

// toDigits: "2024-05-01 13:45[:09]" (16 or 19 characters) -> "202405011345[09]";
// otherwise 12 or 14 digits -> "2024-05-01 13:45[:09]". Other lengths give "".
std::string ConvertTimeStamp(std::string_view text, bool toDigits);

}  // namespace zov

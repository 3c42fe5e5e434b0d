#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text of task.db: "<SETUP>" and "</SETUP>" around one "<TASK>" ... "</TASK>" element whose content is
// the record marker, each record followed by the marker, and a line feed.
namespace zov {

// Separates the records inside <TASK>...</TASK>.
inline constexpr std::string_view kRecordMarker = "|||||";
inline constexpr const char* kStoreStart = "<SETUP>";
inline constexpr const char* kStoreEnd = "</SETUP>";
inline constexpr const char* kRecordsStart = "<TASK>";
inline constexpr const char* kRecordsEnd = "</TASK>";

// The records of a store text: the pieces between the markers, without the first and the last.
std::vector<std::string> SplitRecords(std::string_view text);
// text with the records as the content of its <TASK> element; the elements are added when missing and
// everything else in the text is kept.
std::string WithRecords(std::string text, const std::vector<std::string>& records);

}  // namespace zov

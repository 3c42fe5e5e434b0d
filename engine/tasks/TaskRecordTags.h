#pragma once

#include <string>
#include <string_view>

// The tag reader of a task record: a record is tag lines "<TAG>value</TAG>", and a value is found by
// searching for its first opening tag and the closing tag after it.
namespace zov {

// Characters no NAME, SOURCE or DEST value may hold.
inline constexpr const char* kNameForbidden = "<>|";
// The end of a record's head: a modified record keeps its text up to and including it.
inline constexpr std::string_view kRecordHeadEnd = "</ID>";

// The value between the first <tag> of a record and the </tag> after it; "" when missing.
std::string TagValue(std::string_view record, std::string_view tag);
// The leading decimal number of a value (optional sign) within the range of int; 0 when there is none.
int DecimalValue(std::string_view value);
// True when the record has a non-empty <ID> whose value is id.
bool RecordHasId(std::string_view record, int id);

}  // namespace zov

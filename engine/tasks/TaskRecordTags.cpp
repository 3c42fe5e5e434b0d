#include "engine/tasks/TaskRecordTags.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "engine/util/CommonText.h"

namespace zov {

std::string TagValue(std::string_view record, std::string_view tag) {
    const std::string name(tag);
    return TextBetween(record, "<" + name + ">", "</" + name + ">");
}

int DecimalValue(std::string_view value) {
    std::size_t at = 0;
    while (at < value.size() && std::isspace(static_cast<unsigned char>(value[at]))) ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '-' || value[at] == '+')) negative = value[at++] == '-';
    long long number = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
        number = std::min<long long>(number * 10 + (value[at] - '0'), std::numeric_limits<int>::max() + 1LL);
    }
    if (negative) number = -number;
    return static_cast<int>(
        std::clamp<long long>(number, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool RecordHasId(std::string_view record, int id) {
    const std::string value = TagValue(record, "ID");
    return !value.empty() && DecimalValue(value) == id;
}

}  // namespace zov

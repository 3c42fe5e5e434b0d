#include "engine/tasks/TaskStoreText.h"

#include "engine/util/CommonText.h"

namespace zov {

std::vector<std::string> SplitRecords(std::string_view text) {
    std::vector<std::string> pieces;
    SplitToArray(pieces, text, kRecordMarker, true, 1);
    if (pieces.size() <= 1) return {};
    pieces.pop_back();
    pieces.erase(pieces.begin());
    return pieces;
}

std::string WithRecords(std::string text, const std::vector<std::string>& records) {
    const std::string emptyRecords = std::string("\n") + kRecordsStart + kRecordsEnd + "\n";
    if (text.find(kStoreStart) == std::string::npos) {
        text += kStoreStart + emptyRecords + kStoreEnd;
    } else if (text.find(kRecordsStart) == std::string::npos) {
        ReplaceBetween(text, emptyRecords + TextBetween(text, kStoreStart, kStoreEnd), kStoreStart,
                       kStoreEnd);
    }
    std::string content(kRecordMarker);
    for (const std::string& record : records) content.append(record).append(kRecordMarker);
    content += "\n";
    ReplaceBetween(text, content, kRecordsStart, kRecordsEnd);
    return text;
}

}  // namespace zov

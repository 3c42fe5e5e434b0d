#include <cstring>
#include <vector>

#include "engine/Aes.h"
#include "engine/CommonText.h"
#include "engine/QelXml.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// The deciphered text of task.db: "" for a missing file, false for one that exists but cannot be
// read or is too large (reading it as empty would let the next save drop every task).
bool ReadStoreText(const std::string& path, std::string& text) {
    std::vector<char> buffer(kTaskStoreMaxFileSize, '\0');
    const int result = CAES().DecryptFileToBuffer(path, kTaskStoreKey, buffer.data(), buffer.size());
    if (result == -3 && !PathExists(path)) {
        text.clear();
        return true;
    }
    if (result != 1) return false;
    text.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
    return true;
}

}  // namespace

void CQelXML::SetClampKeepDays(bool clamp) {
    std::lock_guard lock(mutex_);
    clampKeepDays_ = clamp;
}

void CQelXML::SetFilePath(const std::string& path) {
    std::lock_guard lock(mutex_);
    filePath_ = path;
    pathSet_ = true;
}

bool CQelXML::Load() {
    std::lock_guard lock(mutex_);
    std::string text;
    if (!pathSet_ || !ReadStoreText(filePath_, text)) {
        loaded_ = false;
        text_.clear();
        records_.clear();
        return false;
    }
    records_ = SplitRecords(text);
    text_ = std::move(text);
    loaded_ = true;
    return true;
}

bool CQelXML::Save() {
    std::lock_guard lock(mutex_);
    return SaveLocked();
}

bool CQelXML::SaveLocked() {
    if (!loaded_) return false;
    // A file above the read limit could never be loaded again.
    if (text_.size() * 8 > kTaskStoreMaxFileSize) return false;
    return WriteFileAtomic(filePath_, CAES().EncryptText(text_, kTaskStoreKey));
}

bool CQelXML::IsLoaded() const {
    std::lock_guard lock(mutex_);
    return loaded_;
}

std::vector<std::string> CQelXML::GetRecords() const {
    std::lock_guard lock(mutex_);
    return records_;
}

int CQelXML::GetMaxTaskId() const {
    std::lock_guard lock(mutex_);
    return MaxTaskIdLocked();
}

int CQelXML::MaxTaskIdLocked() const {
    if (!loaded_) return -1;
    int highest = 0;
    for (const std::string& record : records_)
        highest = std::max(highest, DecimalValue(TagValue(record, "ID")));
    return highest;
}

std::vector<std::string> CQelXML::SplitRecords(std::string_view text) {
    std::vector<std::string> pieces;
    SplitToArray(pieces, text, kRecordMarker, true, 1);
    if (pieces.size() <= 1) return {};
    return {pieces.begin() + 1, pieces.end() - 1};
}

}  // namespace zov

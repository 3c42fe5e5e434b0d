#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "engine/settings/SystemError.h"
#include "engine/tasks/FileVersion.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "engine/util/Md5.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr std::size_t kBlockSize = 8;

std::uint64_t BlockAt(std::string_view bytes, std::size_t index) {
    std::uint64_t block = 0;
    std::memcpy(&block, bytes.data() + index * kBlockSize, kBlockSize);
    return block;
}

// The text byte of every block the writer produces: without chaining a byte value always gives the same
// block. The zero byte is left out, as no store text holds it.
const std::unordered_map<std::uint64_t, char>& TextBlocks() {
    static const std::unordered_map<std::uint64_t, char> table = [] {
        std::string bytes;
        for (int c = 1; c < 256; ++c) bytes += static_cast<char>(c);
        const std::string blocks = CAES().EncryptText(bytes, kTaskStoreKey);
        std::unordered_map<std::uint64_t, char> byBlock;
        for (std::size_t k = 0; k < bytes.size(); ++k) byBlock.emplace(BlockAt(blocks, k), bytes[k]);
        return byBlock;
    }();
    return table;
}

// One reading of task.db.
struct StoreFile {
    bool read = false;
    std::string text;
    std::string problem;  // why the file was refused
    FileVersion version;
};

// Reads at most limit + 1 bytes, so a file that grew beyond the limit is noticed. False with errno.
bool ReadAll(int fd, std::size_t limit, std::string& bytes) {
    char buffer[65536];
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// The text of the blocks, or why they are not a store text.
std::string DecipherStore(std::string_view bytes, std::string& text) {
    if (bytes.size() % kBlockSize != 0) {
        return "已损坏（长度 " + std::to_string(bytes.size()) + " 字节不是 8 的倍数）";
    }
    const auto& table = TextBlocks();
    text.resize(bytes.size() / kBlockSize);
    for (std::size_t k = 0; k < text.size(); ++k) {
        const auto found = table.find(BlockAt(bytes, k));
        if (found == table.end()) {
            return "已损坏（第 " + std::to_string(k * kBlockSize) + " 字节起的 8 字节不是一个字符的密文）";
        }
        text[k] = found->second;
    }
    return "";
}

std::string ReadError(int error) { return "无法读取（" + std::system_category().message(error) + "）"; }

// The text of task.db through one descriptor, with the version it was read from. A missing file is an
// empty store. A file that exists but cannot be read, is too large or does not decipher into a text is
// refused: reading it as empty would let the next save drop every task.
StoreFile ReadStoreFile(const std::string& path) {
    StoreFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        file.version.error = errno;
        file.read = file.version.error == ENOENT && !PathExists(path);
        if (!file.read) file.problem = ReadError(file.version.error);
        return file;
    }
    struct stat info {};
    std::string bytes;
    if (::fstat(fd, &info) != 0) {
        file.version.error = errno;
        file.problem = ReadError(errno);
    } else if (file.version = VersionOf(info); !S_ISREG(info.st_mode)) {
        file.problem = "不是普通文件";
    } else if (!ReadAll(fd, kTaskStoreMaxFileSize, bytes)) {
        file.problem = ReadError(errno);
    } else if (bytes.size() > kTaskStoreMaxFileSize) {
        file.problem = "大于可读取的 " + std::to_string(kTaskStoreMaxFileSize) + " 字节";
    } else {
        file.version.digest = Md5Hex(bytes);
        file.problem = DecipherStore(bytes, file.text);
    }
    ::close(fd);
    file.read = file.problem.empty();
    if (!file.read) file.text.clear();
    return file;
}

// The records of text that do not parse, each with the reason.
std::vector<std::string> SkippedRecords(const std::vector<std::string>& records) {
    std::vector<std::string> skipped;
    for (std::size_t i = 0; i < records.size(); ++i) {
        TaskInfo task;
        std::string reason;
        if (CQelXML::ParseTask(records[i], task, reason)) continue;
        const std::string id = CQelXML::TagValue(records[i], "ID");
        skipped.push_back(
            "第 " + std::to_string(i + 1) + " 条记录（" +
            (id.empty() ? std::string("无 ID") : "ID " + std::to_string(CQelXML::DecimalValue(id))) +
            "）被跳过：" + reason);
    }
    return skipped;
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
    if (!pathSet_) {
        loaded_ = false;
        text_.clear();
        records_.clear();
        return false;
    }
    StoreFile file = ReadStoreFile(filePath_);
    loaded_ = file.read;
    text_ = std::move(file.text);
    records_ = SplitRecords(text_);
    // The service reloads the store every few seconds: what is wrong with it is told once per change.
    if (NoteNewVersion(filePath_, file.version)) {
        if (!file.read)
            LogSystemError("任务配置文件 " + filePath_ + " " + file.problem + "，未读取，任务不会运行");
        for (const std::string& skipped : SkippedRecords(records_)) {
            LogSystemError("任务配置文件 " + filePath_ + " 的" + skipped);
        }
    }
    return loaded_;
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

std::vector<std::string> CQelXML::SplitRecords(std::string_view text) { return zov::SplitRecords(text); }

}  // namespace zov

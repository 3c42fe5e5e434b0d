#include "gui/shell/UserCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "engine/settings/SystemLog.h"
#include "engine/util/Aes.h"
#include "engine/util/CommonText.h"
#include "gui/shell/HttpGet.h"
#include "platform/AtomicFile.h"
#include "platform/Folders.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr std::array<std::string_view, kCounterCount> kNames = {
    "AddFileBack",  "DoFileBack",  "RestoreFile",  "AddMssqlBack", "DoMssqlBack", "RestoreMssql",
    "AddMysqlBack", "DoMysqlBack", "RestoreMysql", "AdvLink",      "OpenDir"};

// The counter file's key; the cipher uses its first 8 bytes.
constexpr std::string_view kCounterFileKey = "uC7qZo2vLm";
// Eleven elements of a few dozen characters, 8 bytes each: anything much larger is not a counter file.
constexpr off_t kLargestCounterFile = 64 * 1024;

// Linux has no Windows version numbers: the code of an unknown system; the port is 64-bit.
constexpr int kUnknownOsCode = 99;
constexpr int kSixtyFourBit = 1;
constexpr const char* kProgramVersion = "3.5";

std::string Trimmed(std::string key) {
    const auto first = key.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = key.find_last_not_of(" \t\r\n");
    return key.substr(first, last - first + 1);
}

std::string KeyOrDefault(std::string key) {
    key = Trimmed(std::move(key));
    return key.empty() ? std::string(kCounterFileKey) : key;
}

std::string OpeningTag(Counter counter) { return "<" + std::string(CUserCache::Name(counter)) + ">"; }
std::string ClosingTag(Counter counter) { return "</" + std::string(CUserCache::Name(counter)) + ">"; }

}  // namespace

int CDES::EncryptTextToFile(std::string_view text, std::string_view key, const std::string& path) const {
    return WriteFileAtomic(path, CAES().EncryptText(text, key)) ? 1 : -3;
}

int CDES::DecryptFileToBuffer(const std::string& path, std::string_view key, char* buffer,
                              std::size_t size) const {
    return CAES().DecryptFileToBuffer(path, key, buffer, size);
}

bool CDES::SaveText(std::string_view text, const std::string& path, std::string_view key) const {
    return EncryptTextToFile(text, key, path) == 1;
}

std::string CDES::LoadText(const std::string& path, std::string_view key) const {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0 ||
        info.st_size > kLargestCounterFile)
        return "";
    const auto size = static_cast<std::size_t>(info.st_size);
    std::vector<char> buffer(size + 1, '\0');
    if (DecryptFileToBuffer(path, key, buffer.data(), size) != 1) return "";
    return std::string(buffer.data());
}

CUserCache::CUserCache() { Reset(); }

CUserCache::~CUserCache() { Save(); }

std::string CUserCache::FilePath() { return ProgramDir() + "Log/UserCache.db"; }

std::string_view CUserCache::Name(Counter counter) { return kNames[static_cast<std::size_t>(counter)]; }

void CUserCache::Add(Counter counter, int n) { counters_[static_cast<std::size_t>(counter)] += n; }

int CUserCache::Value(Counter counter) const { return counters_[static_cast<std::size_t>(counter)].load(); }

std::string CUserCache::BuildReport() const {
    std::string report;
    for (std::size_t i = 0; i < kCounterCount; ++i) {
        if (i > 0) report += "{#}";
        report += std::string(kNames[i]) + "=" + std::to_string(counters_[i].load());
    }
    return report;
}

void CUserCache::Reset() {
    for (auto& counter : counters_) counter.store(0);
    const std::string folder = ProgramDir() + "Log";
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) MakeFolder(folder, kLogFolderMode);
}

int CUserCache::Clear() {
    {
        std::lock_guard lock(fileMutex_);
        unlink(FilePath().c_str());
    }
    Reset();
    return 1;
}

void CUserCache::Load(std::string key) {
    key = KeyOrDefault(std::move(key));
    Reset();
    std::lock_guard lock(fileMutex_);
    const std::string text = CDES().LoadText(FilePath(), key);
    if (!text.empty()) {
        lastText_ = text;
        for (std::size_t i = 0; i < kCounterCount; ++i) {
            const auto counter = static_cast<Counter>(i);
            counters_[i].store(
                std::atoi(TextBetween(text, OpeningTag(counter), ClosingTag(counter)).c_str()));
        }
    }
    loaded_.store(true);
}

bool CUserCache::Save(std::string key) {
    if (!loaded_.load()) return false;
    key = KeyOrDefault(std::move(key));
    std::string text;
    for (std::size_t i = 0; i < kCounterCount; ++i) {
        const auto counter = static_cast<Counter>(i);
        ReplaceBetween(text, std::to_string(counters_[i].load()), OpeningTag(counter), ClosingTag(counter));
    }
    std::lock_guard lock(fileMutex_);
    return CDES().SaveText(text, FilePath(), key);
}

std::string CUserCache::lastText() const {
    std::lock_guard lock(fileMutex_);
    return lastText_;
}

CUserCache& UsageCounters() {
    static CUserCache counters;
    return counters;
}

void CQelSetup::SetReportParams(std::string sk, std::string baseAddress) {
    sk_ = std::move(sk);
    baseAddress_ = std::move(baseAddress);
}

std::string CQelSetup::ReportUrl() const {
    return baseAddress_ + "?sk=" + sk_ + "&wv=" + std::to_string(kUnknownOsCode) +
           "&bt=" + std::to_string(kSixtyFourBit) + "&v=" + kProgramVersion;
}

int CQelSetup::StartReport() {
    if (baseAddress_.empty()) return 0;
    std::string ignored;
    HttpGet(ReportUrl(), ignored);
    return 1;
}

}  // namespace zov::gui

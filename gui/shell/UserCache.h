#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

// The usage counters of the management program, kept enciphered in "Log/UserCache.db" of the program
// folder and reported with the next update check; the cipher of that file; the one statistics request of a
// first start.
namespace zov::gui {

// The store cipher of the engine (CAES) under the name the counter file uses.
class CDES {
  public:
    virtual ~CDES() = default;
    // The text, one 8-byte block per character, replacing path atomically: 1, or -3 when not written.
    int EncryptTextToFile(std::string_view text, std::string_view key, const std::string& path) const;
    // As CAES::DecryptFileToBuffer.
    int DecryptFileToBuffer(const std::string& path, std::string_view key, char* buffer,
                            std::size_t size) const;
    bool SaveText(std::string_view text, const std::string& path, std::string_view key) const;
    // The deciphered text up to its first zero byte; "" for a missing, empty, unreadable or oversized file.
    std::string LoadText(const std::string& path, std::string_view key) const;
};

enum class Counter {
    AddFileBack,
    DoFileBack,
    RestoreFile,
    AddMssqlBack,
    DoMssqlBack,
    RestoreMssql,
    AddMysqlBack,
    DoMysqlBack,
    RestoreMysql,
    AdvLink,
    OpenDir,
};
inline constexpr std::size_t kCounterCount = 11;

// Counters any thread may add to. The file is written only by a Save after a Load, so an early exit never
// overwrites the stored counts with zeros.
class CUserCache {
  public:
    CUserCache();
    // Saves when the counters were loaded.
    ~CUserCache();
    CUserCache(const CUserCache&) = delete;
    CUserCache& operator=(const CUserCache&) = delete;

    // program folder + "Log/UserCache.db".
    static std::string FilePath();
    // The counter names in report and file order.
    static std::string_view Name(Counter counter);

    void Add(Counter counter, int n = 1);
    int Value(Counter counter) const;
    // "AddFileBack=0{#}DoFileBack=0...{#}OpenDir=0".
    std::string BuildReport() const;
    // All counters 0; the "Log/" folder made when missing.
    void Reset();
    // Deletes the file, then Reset. 1.
    int Clear();
    // Reset, then the counters of the file (a missing tag or file gives 0). key "" (after trimming) means
    // the program's own key.
    void Load(std::string key = "");
    // Writes the counters, only after a Load; false when not loaded or not written.
    bool Save(std::string key = "");
    bool loaded() const { return loaded_.load(); }
    // The text last read from the file.
    std::string lastText() const;

  private:
    std::array<std::atomic<int>, kCounterCount> counters_{};
    std::atomic<bool> loaded_{false};
    mutable std::mutex fileMutex_;
    std::string lastText_;
};

// The process-wide counters.
CUserCache& UsageCounters();

// The statistics request of a first start: base + "?sk=" + sk + "&wv=..&bt=..&v=3.5" by HttpGet.
class CQelSetup {
  public:
    virtual ~CQelSetup() = default;
    void SetReportParams(std::string sk, std::string baseAddress);
    // 0 at once when the base address is empty; otherwise sends the request, waits for it (bounded by the
    // HTTP time-outs), ignores the answer and returns 1.
    int StartReport();
    // The request address.
    std::string ReportUrl() const;

  private:
    std::string sk_;
    std::string baseAddress_;
};

}  // namespace zov::gui

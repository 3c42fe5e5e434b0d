#pragma once

#include <archive.h>
#include <locale.h>

#include <string>
#include <vector>

#include "tools/rar/CommandLine.h"
#include "tools/rar/ExitCode.h"
#include "tools/rar/Reporter.h"
#include "tools/rar/SourceTree.h"
#include "tools/rar/VolumeOutput.h"

namespace zov::rar {

// libarchive's ZIP writer (deflate, AES-256 with a password) sending its bytes into a VolumeOutput.
class ZipWriter {
  public:
    ZipWriter(VolumeOutput& output, Reporter& reporter) : output_(output), reporter_(reporter) {}
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Each step reports its own failure; false means the archive cannot go on.
    bool Open(const Options& options);
    // Adds one item; a source that cannot be read is reported and left out.
    bool Add(const SourceItem& item);
    bool Close();

    // Entries written so far.
    int stored() const { return stored_; }

  private:
    static la_ssize_t WriteCallback(archive*, void* self, const void* buffer, size_t length);
    bool OutputFailed() const { return outputCode_ != kSuccess; }
    bool CopyData(int fd, const std::string& path, off_t size);
    bool WriteZeros(off_t length);
    const char* ErrorText() const;
    bool Fail(const std::string& what);

    VolumeOutput& output_;
    Reporter& reporter_;
    archive* archive_ = nullptr;
    locale_t bytesLocale_ = nullptr;  // "C": names written under it are not marked as UTF-8
    ExitCode outputCode_ = kSuccess;
    std::string outputError_;
    std::vector<char> buffer_;
    int stored_ = 0;
};

}  // namespace zov::rar

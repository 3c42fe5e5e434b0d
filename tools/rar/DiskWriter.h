#pragma once

#include <sys/types.h>
#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zov::rar {

// The metadata an extracted entry gets back.
struct EntryMetadata {
    mode_t mode = 0;  // permission bits
    uid_t uid = 0;
    gid_t gid = 0;
    timespec atime{};
    timespec mtime{};
};

// Writes extracted entries below the destination folder and never through a link: each folder of an entry's
// path is opened below the one before it without following links (missing ones are made), and the
// folders of the last entry stay open for the entries after it, so each check is made once. Names that are
// absolute or hold ".." are refused. A file is written under a private temporary name in its folder and
// takes its own name only once it is whole, so a file it replaces is kept when it fails. Folders get their
// modes and times at the end, after their contents.
class DiskWriter {
  public:
    DiskWriter(bool overwrite, bool restoreOwner) : overwrite_(overwrite), restoreOwner_(restoreOwner) {}
    ~DiskWriter();
    DiskWriter(const DiskWriter&) = delete;
    DiskWriter& operator=(const DiskWriter&) = delete;

    // The destination folder (an absolute path), opened level by level from "/" and made when missing.
    // Each step returns false with a message in error.
    bool Open(const std::string& destination, std::string& error);
    // The destination's descriptor, once open.
    int folder() const { return root_; }

    // Creates a file for writing under a temporary name; skipped is set (and true returned) when the file
    // exists and may not be replaced.
    bool CreateFile(const std::string& path, bool& skipped, std::string& error);
    // Writes the file's bytes at offset; runs of zeros become holes.
    bool Write(const void* data, std::size_t size, std::int64_t offset, std::string& error);
    // Gives the file its size, owner, mode and times, closes it and lets it take its name; removes it
    // when that fails.
    bool FinishFile(std::int64_t size, const EntryMetadata& metadata, std::string& error);
    // Closes and removes a file that did not come out whole; what stands under its name stays.
    void DiscardFile();

    bool MakeFolder(const std::string& path, const EntryMetadata& metadata, std::string& error);
    bool MakeLink(const std::string& path, const std::string& target, const EntryMetadata& metadata,
                  bool& skipped, std::string& error);

    // Gives the folders made their modes and times, the deepest first.
    bool Close(std::string& error);

  private:
    struct FolderFix {
        std::string path;
        EntryMetadata metadata;
    };

    bool OpenParent(const std::string& path, std::string& leaf, std::string& error);
    int OpenFolder(const std::vector<std::string>& parts, std::string& error);
    void CloseFolders(std::size_t keep);
    bool Replace(const std::string& leaf, std::string& error);
    bool CreateTemporary(const std::string& path, std::string& error);
    bool Settle(std::string& error);
    int CurrentFolder() const { return openFds_.empty() ? root_ : openFds_.back(); }

    bool overwrite_;
    bool restoreOwner_;
    int root_ = -1;
    std::vector<std::string> openNames_;  // the folders open below the root, outermost first
    std::vector<int> openFds_;
    int file_ = -1;
    std::string fileLeaf_;
    std::string tempLeaf_;      // the name the file is written under
    std::int64_t written_ = 0;  // end of the last bytes written (holes may follow)
    std::vector<FolderFix> folders_;
};

}  // namespace zov::rar

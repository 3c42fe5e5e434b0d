#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "engine/util/FolderHandle.h"

// Copying one entry of CFileOperator's copies: file data through the kernel where it can, links as links,
// attributes kept.
namespace zov::fileops {

// What the entry copies of one job share: the buffer of the copies the kernel cannot do itself, taken on
// first use and never zero-filled, and the file system from which the kernel refused to copy, so that
// later files of it go straight to reading and writing.
class CopyScratch {
  public:
    static constexpr std::size_t kBufferBytes = 1u << 20;

    char* Buffer();
    // Whether the copies may give their targets the owners of their sources.
    bool keepsOwners() const { return keepsOwners_; }
    bool KernelCopyRefused(dev_t source) const { return refusedSource_ == source; }
    void NoteKernelCopyRefused(dev_t source) { refusedSource_ = source; }

  private:
    bool keepsOwners_ = ::geteuid() == 0;
    std::unique_ptr<char[]> buffer_;
    std::optional<dev_t> refusedSource_;
};

// Copies the file or link from (source is what lstat gave for it) to the entry name of folder; 0 or an
// errno value. The copy is written under a new private name in folder and renamed over name once complete,
// so what was there (a file, maybe a hard link to one elsewhere, or a link) is replaced, never written
// into; failIfExists fails with EEXIST instead. A folder in the way fails with EISDIR, the source itself
// with EINVAL.
int CopyEntryData(const std::string& from, const struct stat& source, const FolderHandle& folder,
                  const std::string& name, bool failIfExists, CopyScratch& scratch);
// The same for the path to (the folders above it followed as they are).
int CopyEntryData(const std::string& from, const struct stat& source, const std::string& to,
                  bool failIfExists, CopyScratch& scratch);

// Gives the open folder target the permission bits, owner and times of the folder source (best effort).
void CopyFolderAttributes(const std::string& source, const FolderHandle& target);

}  // namespace zov::fileops

#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace zov {

// What tells one content of a file from another: its identity, size, modification and status-change times,
// a digest of its bytes when they were read, or the error that kept it from being opened.
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    // Moves on with every write and also with a modification time set back or a change of permissions.
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;
    std::string digest;
    int error = 0;

    bool operator==(const FileVersion&) const = default;
};

// The version of a file examined with stat (no digest).
FileVersion VersionOf(const struct stat& info);
// The version of path as stat gives it (following links), or the stat's error.
FileVersion VersionOfPath(const std::string& path);

// True when version differs from the version of path this process noted last, which it then becomes:
// a file read again and again is news once per change.
bool NoteNewVersion(const std::string& path, const FileVersion& version);

}  // namespace zov

#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/Trees.h"

namespace zov::test {

// A file whose full path is one byte longer than PATH_MAX allows while its folder's path is not, so the
// folder can be listed but the entry cannot be examined by its path. The folder lies under
// root + 200 characters deep, so a copy of it under a sibling of root keeps paths below PATH_MAX.
class OverlongPathFile {
  public:
    OverlongPathFile(const std::string& root, const std::string& suffix = "") : top_(root) {
        std::string parent = top_;
        while (parent.size() + 251 <= 3900) parent += "/" + std::string(250, 'd');
        if (parent.size() < 3899) parent += "/" + std::string(3900 - parent.size() - 1, 'e');
        MakeFolder(parent);
        name_ = std::string(4096 - parent.size() - suffix.size(), 'f') + suffix;
        folder_ = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_GE(folder_, 0);
        const int file = ::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_GE(file, 0);
        ::close(file);
    }
    ~OverlongPathFile() {
        ::unlinkat(folder_, name_.c_str(), 0);
        ::close(folder_);
    }
    OverlongPathFile(const OverlongPathFile&) = delete;
    OverlongPathFile& operator=(const OverlongPathFile&) = delete;

    const std::string& name() const { return name_; }
    // Whether the file is still there.
    bool Exists() const { return ::faccessat(folder_, name_.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0; }

  private:
    std::string top_;
    std::string name_;
    int folder_ = -1;
};

}  // namespace zov::test

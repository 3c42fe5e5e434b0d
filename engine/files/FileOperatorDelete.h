#pragma once

#include <string>

#include "engine/util/FolderHandle.h"

// Deletions of CFileOperator: single paths, empty folder trees, deletion markers and reserved names. Every
// walk goes through folder descriptors and never follows a link; a link is removed as a link. The
// operations are those of the same name of CFileOperator.
namespace zov::fileops {

// Removes entry name of folder (FolderHandle::Remove); with log, writes the interface-log record of an
// automatic deletion of shownPath ("自动任务", "删除文件", "成功"/"失败"). 0 or an errno value.
int RemoveLogged(const FolderHandle& folder, const std::string& name, const std::string& shownPath, bool log);

int ForceDelete(const std::string& path);
int DeleteMarkedFiles(const std::string& folder, bool withNamed);
int DeleteReservedNames(const std::string& folder);
int RemoveEmptyFoldersKnownTo(const std::string& folder, const std::string& base);

// The deletions that report a failure: its text goes to error (CFileOperator::error()).
class PathDeletion {
  public:
    explicit PathDeletion(std::string& error) : error_(error) {}

    bool DeletePath(const std::string& path, bool log);
    int RemoveEmptyFolders(const std::string& folder);

  private:
    // Sets the error and returns false.
    bool Fail(std::string text);

    std::string& error_;
};

}  // namespace zov::fileops

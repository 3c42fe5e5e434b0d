#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

#include "engine/filter/CommonFilter.h"
#include "engine/filter/FilterSet.h"

// Folder copies shared by the backup jobs and the restore, and the same-file test
// on which every differential decision rests. Each copy goes on after a failed entry, returns false when
// any entry failed and leaves the last failure's text in message. A stop requested through the job's token
// ends a copy before its next entry, with false.
namespace zov {

// How a backup set is put back by CopyFolderTree.
struct TreeCopy {
    std::stop_token stop;
    bool keepMarkers = true;  // else deletion markers found in source are left out
    // Tests only: called with the target path of each entry before it is copied.
    std::function<void(const std::string&)> beforeEntry{};
};

// Copies the contents of source into target exactly, deletion markers included unless how says otherwise
// (backup sets put back). target is opened level by level from "/" and made where missing
// (FolderHandle::OpenWalk), every folder below it is made and opened through its parent, never through a
// link, and every file is written under a private name and renamed into place: a folder of target that
// another user swaps for a link fails the copy, with its path in message, and nothing is written through
// it. An empty source succeeds without making target.
bool CopyFolderTree(const std::string& source, const std::string& target, std::string& message,
                    const TreeCopy& how);
bool CopyFolderTree(const std::string& source, const std::string& target, std::string& message,
                    std::stop_token stop = {});

// Copies the contents of source into target, taking only what the filter passes (see
// CFileOperator::CopyFolderFiltered); deletion markers found in source are left out.
bool CopyFolderTreeFiltered(const std::string& source, const std::string& target, const FilterSet& filter,
                            std::string& message, std::stop_token stop = {});

// Differential copies against base (see CFileOperator::CopyChanged): new and changed files, plus a
// deletion marker in target for every file of base gone from source.
bool CopyChangedTree(const std::string& source, const std::string& target, const std::string& base,
                     std::string& message, std::stop_token stop = {});
bool CopyChangedTreeFiltered(const std::string& source, const std::string& target, const std::string& base,
                             const FilterSet& filter, std::string& message, std::stop_token stop = {});

// Whether the entry of a base needs a deletion marker against the same path in the source: it is gone from
// the source, or one of them is a folder and the other is not (links are not followed). False when the
// base holds nothing there.
bool IsDeletedSinceBase(const std::string& baseEntry, const std::string& sourceEntry);

// The text of a deletion that cannot be recorded: the entry gone from the source, and why.
std::string DeletionNotRecordedText(const std::string& sourceEntry, int code);

// Whether a file is unchanged: two missing paths are the same; a path and a missing one, or a folder and
// anything, are not; two files are the same when both can be read, hold the same bytes and have the same
// permission bits and, for a process run by root (the only one whose copies keep owners), the same owner
// and group: a file made private or given away since the base is a change.
bool IsSameFile(const std::string& pathA, const std::string& pathB);

}  // namespace zov

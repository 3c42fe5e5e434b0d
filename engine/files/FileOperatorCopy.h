#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/files/ExcludedFolder.h"
#include "engine/files/FileOperatorCopyEntry.h"
#include "engine/filter/FilterSet.h"

// Folder copies of CFileOperator: the checks of each copy form and the walk they share.
namespace zov::fileops {

// The family of failure texts a folder walk uses (plain, filtered or differential copy, or a restore).
enum class CopyForm { Folder, Filtered, Changed, Restore };

// How a folder walk copies; used by the folder copies here and by the copy routines of CopyOperations.
struct CopyRules {
    CopyForm form = CopyForm::Folder;
    const FilterSet* filter = nullptr;  // null: every entry is taken
    bool pass = false;                  // see CFileOperator::CopyFolderFiltered
    const std::string* base = nullptr;  // differential copy against this folder
    bool failIfExists = false;
    // Copy deletion markers found in source (putting a backup set back); else they are skipped.
    bool keepMarkers = false;
    const ExcludedFolder* leftOut = nullptr;  // a folder left out with its tree
    // Tests only: called with the target path of each entry before it is copied.
    std::function<void(const std::string&)> beforeEntry;
};

// True when target is source or lies inside it, compared after resolving links and dots.
bool Overlaps(const std::string& source, const std::string& target);

// The copies of one CFileOperator: each failure leaves its text in error; excludedFolder is the folder set
// by CFileOperator::SetExcludedFolder. The public operations are those of the same name of CFileOperator.
class FolderCopy {
  public:
    FolderCopy(std::string& error, const std::string& excludedFolder, const std::stop_token& stop)
        : error_(error), excludedFolder_(excludedFolder), stop_(stop) {}

    int CopyItem(const std::string& source, const std::string& targetFolder);
    int CopyFolder(const std::string& source, const std::string& target, const std::string& name,
                   bool useSourceName, bool failIfExists);
    int CopyFolderFiltered(const std::string& source, const std::string& target, const std::string& name,
                           bool useSourceName, const FilterSet& filter, bool pass, bool failIfExists);
    int CopyChangedFiltered(const std::string& source, const std::string& target, const std::string& base,
                            const std::string& name, bool useSourceName, const FilterSet& filter, bool pass,
                            bool failIfExists);
    int CopyChanged(const std::string& source, const std::string& target, const std::string& base,
                    const std::string& name, bool useSourceName, bool failIfExists);
    int CopySelectedFolders(const std::string& source, const std::string& target,
                            const std::vector<std::string>& names, bool failIfExists);
    // Copies the entries of source into the existing folder target. True when every entry was copied.
    bool CopyContents(const std::string& source, const std::string& target, const CopyRules& rules);
    // The same into the open folder target, whose path targetPath names it in texts. Each folder below is
    // made and opened through its parent, never through a link.
    bool CopyContents(const std::string& source, const FolderHandle& target, const std::string& targetPath,
                      const CopyRules& rules);

  private:
    int CopyFolderAs(const std::string& source, const std::string& target, const std::string& name,
                     bool useSourceName, const CopyRules& rules);
    bool CopySubfolder(const std::string& source, const FolderHandle& target, const std::string& targetPath,
                       const std::string& name, const CopyRules& rules);
    // True when target lies in the excluded folder and that folder lies below source: the walk then leaves
    // it out, so the copy never meets itself.
    bool IntoExcludedFolder(const std::string& source, const std::string& target) const;
    bool WriteDeletionMarkers(const std::string& source, const std::string& base, const std::string& target);
    // Copies one file or link to the entry name of folder, or to the path target; false with the error set
    // on failure. info is what lstat gave for source.
    bool CopyEntry(const std::string& source, const struct stat& info, const FolderHandle& folder,
                   const std::string& name, bool failIfExists);
    bool CopyEntry(const std::string& source, const std::string& target, bool failIfExists);
    // Sets the error and returns false.
    bool Fail(std::string text);
    // True for code 0; else the failure of the entry copy of source with the errno value code.
    bool Copied(const std::string& source, int code);

    std::string& error_;
    const std::string& excludedFolder_;
    // The job's stop: the walk ends before the next entry.
    const std::stop_token& stop_;
    CopyScratch scratch_;
};

}  // namespace zov::fileops

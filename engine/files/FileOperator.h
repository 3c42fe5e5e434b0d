#pragma once

#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "engine/files/FileOperatorCopy.h"
#include "engine/files/FileOperatorDelete.h"
#include "engine/filter/FilterSet.h"

namespace zov {

// The engine's toolbox for the storage tree: copies (plain, filtered, differential against a base),
// deletions, folder chains, the base archive of a differential task and the expiry of old backup sets.
// Instances hold no shared state: every caller makes its own, on any thread.
//
// Copies keep file contents, permission bits, owners (when run as root) and modification times; a symbolic
// link is copied as a link and never followed. Sockets, pipes and devices are not copied. Folder copies go
// on after a failed entry and report failure when any entry failed; error() keeps the last failure's text.
// Deletion markers found in a source tree are pending deletions and are not copied.
//
// The work is done by one unit per concept in namespace fileops (folders, copies, one entry's copy,
// deletions, expiry, base lookup); each operation here hands its call to the unit of the same name.
class CFileOperator {
  public:
    virtual ~CFileOperator() = default;

    // The text of the last failure of an operation that reports one; never cleared by a success.
    const std::string& error() const { return error_; }
    // The system error number that error() reports at its end ("...错误号：28", "...错误号（28）。"),
    // 0 when it reports none.
    int errorNumber() const;

    // Leaves folder (usually the storage folder) and all it holds out of the later folder copies whose
    // source holds it; such a copy may then write into that folder. "" leaves nothing out.
    void SetExcludedFolder(std::string folder) { excludedFolder_ = std::move(folder); }
    // The stop of the job the copies run for: once requested, folder copies end before their next entry
    // and fail.
    void SetStopToken(std::stop_token stop) { stop_ = std::move(stop); }

    // Deletes a file, link or whole folder tree: 1 deleted, 0 not.
    int ForceDelete(const std::string& path);

    // Copies a file, link or folder (with its contents) into targetFolder, which is made when missing
    // (one level). 1 copied, 0 copy failed, -1 bad arguments, missing source or target not creatable.
    int CopyItem(const std::string& source, const std::string& targetFolder);

    // -1 when the path is not absolute; otherwise 1 when the folder exists afterwards (made here, by
    // another thread meanwhile, or already there), 0 when it cannot be made (errno tells why). Every
    // level made here is 0700, whatever the umask.
    int CreateFolder(const std::string& folder);

    // Makes one folder 0700, whatever the umask. False with errno when it was not made (EEXIST: an entry
    // of that name is there).
    static bool MakePrivateFolder(const std::string& folder);

    // Copies the contents of source into target + name + "/" (name not empty), target + the source's own
    // name + "/" (useSourceName), or target. A source that is a file is copied into that folder. A folder
    // made for the source (by name or useSourceName) gets the source's attributes too.
    // failIfExists: a file already in the target is not overwritten (that entry fails).
    // 1 when every entry was copied; 0 when a check or any entry failed.
    int CopyFolder(const std::string& source, const std::string& target, const std::string& name,
                   bool useSourceName, bool failIfExists);

    // CopyFolder taking only what the filter passes. pass: every entry of source is taken.
    // A folder the filter passes (or any folder under pass) is entered with pass set when the filter takes
    // only its items, cleared when it leaves them out; a folder it does not pass is left out whole by an
    // excluding filter and entered with pass cleared by an including one. Files are copied when pass is set
    // or the filter passes them (FilterEntryPasses).
    int CopyFolderFiltered(const std::string& source, const std::string& target, const std::string& name,
                           bool useSourceName, const FilterSet& filter, bool pass, bool failIfExists);

    // Differential copy against base: files new in source or that differ from the same path under base
    // (IsSameFile) are copied; for every file or folder of base gone from source (or of the other kind
    // there, IsDeletedSinceBase) its deletion marker (DeletionMarker.h) is written into the target. The
    // source is never modified.
    int CopyChangedFiltered(const std::string& source, const std::string& target, const std::string& base,
                            const std::string& name, bool useSourceName, const FilterSet& filter, bool pass,
                            bool failIfExists);
    int CopyChanged(const std::string& source, const std::string& target, const std::string& base,
                    const std::string& name, bool useSourceName, bool failIfExists);

    // Copies each sub-folder of source whose name equals one of names (ASCII case ignored) into
    // target + its name. 1 when every one was copied (also for an empty list).
    int CopySelectedFolders(const std::string& source, const std::string& target,
                            const std::vector<std::string>& names, bool failIfExists);

    // Deletes a file, link or folder tree. log: one record in the interface log ("自动任务", "删除文件").
    // The root folder and paths ending in "." or ".." are never deleted.
    bool DeletePath(const std::string& path, bool log);

    // Deletes every folder below folder (and folder itself) whose tree holds no file. 1 done, 0 stopped at
    // a failure.
    int RemoveEmptyFolders(const std::string& folder);

    // RemoveEmptyFolders for a differential copy: only the folders that base holds too go (made to walk
    // them), folder itself included; a folder new since base stays, empty or not. 1 done, 0 not a folder
    // or stopped at a failure.
    int RemoveEmptyFoldersKnownTo(const std::string& folder, const std::string& base);

    // Removes every deletion marker of the tree; withNamed also deletes the entries they stand for.
    // 1 done, 0 stopped at a failure.
    int DeleteMarkedFiles(const std::string& folder, bool withNamed);

    // Removes every entry with a reserved name (IsReservedName) from the tree. 1 done, 0 not a folder or
    // stopped at a failure.
    int DeleteReservedNames(const std::string& folder);

    // The newest base of item name in the dated folders of storage: a folder "<name>_<stamp>" or an
    // archive "<name>_<stamp>.rar" (the first volume of a volume set), by modification time; "" when there
    // is none or it is periodDays days old or older (periodDays 0: always "").
    std::string FindBaseArchive(const std::string& storage, const std::string& name, int periodDays);

    // Appends the names of the direct sub-folders of folder, sorted.
    void ListSubfolders(const std::string& folder, std::vector<std::string>& names);

    // False for a missing path, true for a folder; for a file whether its extension (with the dot, ASCII
    // case ignored) is listed, or with exclude whether it is not. An empty list gives false unless
    // testEmpty is set.
    bool MatchExtension(const std::string& file, const std::vector<std::string>& extensions, bool testEmpty,
                        bool exclude);

    // Deletes the backups of a database task older than keepDays: dated folders before the cutoff day
    // whole, and in the cutoff day's folder the files whose stamp is before the cutoff second (the folder
    // too when it becomes empty). Nothing else in storage is touched; links are never followed.
    void DeleteExpiredSets(const std::string& storage, int keepDays);

    // Expiry of a file task, run twice: with diffFolder "" on storage + "diff" (differential sets older
    // than the cutoff, and their set folders once empty), then on storage with diffFolder = storage +
    // "diff" (old full backups and bases; a base stays while its set folder under diffFolder exists).
    // Dated and "diff" folders that are links are left alone; a "diff" link keeps every base.
    void DeleteExpiredDiffSets(const std::string& folder, int keepDays, const std::string& diffFolder);

    // How a folder walk copies (see fileops::CopyRules); used by the copy routines of CopyOperations.
    using CopyForm = fileops::CopyForm;
    using CopyRules = fileops::CopyRules;
    // Copies the entries of source into the existing folder target. True when every entry was copied.
    bool CopyContents(const std::string& source, const std::string& target, const CopyRules& rules);
    // The same into the open folder target (see fileops::FolderCopy::CopyContents).
    bool CopyContents(const std::string& source, const FolderHandle& target, const std::string& targetPath,
                      const CopyRules& rules);

    // True when target is source or lies inside it, compared after resolving links and dots.
    static bool Overlaps(const std::string& source, const std::string& target);

  private:
    fileops::FolderCopy Copier() { return fileops::FolderCopy(error_, excludedFolder_, stop_); }
    fileops::PathDeletion Deleter() { return fileops::PathDeletion(error_); }

    std::string error_;
    std::string excludedFolder_;
    std::stop_token stop_;
};

}  // namespace zov

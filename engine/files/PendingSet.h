#pragma once

#include <string>
#include <vector>

#include "engine/util/FolderHandle.h"

// A backup set on its way to its name: written into a private work folder beside its place, then given
// its own name there without replacing anything, so that two runs whose sets have one name both keep
// theirs.
namespace zov {

// How many seconds after its own stamp a set may be named when the names before are taken.
inline constexpr int kCommitStampTries = 100;

class PendingSet {
  public:
    // folder: the open folder the set goes into, folderPath its path; the set's title is prefix + stamp
    // ("<item>_<stamp>", or the stamp alone in a differential set folder); the work folder is
    // PartialSetName(stamp, taskId).
    PendingSet(const FolderHandle& folder, std::string folderPath, std::string prefix, std::string stamp,
               int taskId);
    // Discards the work folder, unless the set was committed or left.
    ~PendingSet() { Discard(); }
    PendingSet(const PendingSet&) = delete;
    PendingSet& operator=(const PendingSet&) = delete;

    // Makes the work folder (0700); one of the same name, left by a run of the task that did not end, is
    // removed first. False with message set.
    bool Make(std::string& message);
    // The work folder's path, ending in '/'.
    std::string path() const;
    // The title at the run's own stamp: the name of what the run writes into the work folder.
    std::string title() const { return prefix_ + stamp_; }

    // Gives the set its name in the folder: the work folder itself becomes the set (copySet), or each
    // archive file of the title in it ("<title>.rar", "<title>.partN.rar") goes into the folder, with the
    // title replaced. The title is the run's own or, when an entry of that title is already there (a set
    // folder, an archive or a volume of one), the first free one with a later stamp (at most
    // kCommitStampTries seconds later). A rename never replaces an entry, so a name taken meanwhile is
    // only skipped. The folder is put on disk afterwards. The title given; "" with message set when no
    // name was free or the set could not be moved (nothing stays under a new name then). A copy set whose
    // work folder is gone (nothing was copied) keeps the run's own title and makes no set.
    std::string Commit(bool copySet, std::string& message);

    // Removes the work folder now (a failed run): 0, or an errno value.
    int Discard();
    // Keeps the work folder for the recovery at the next start (a run cut short by its stop).
    void Leave() { made_ = false; }

  private:
    // The archive files of the title in the work folder, with their suffixes; false when it is unreadable.
    bool ArchiveSuffixes(std::vector<std::string>& suffixes) const;
    // Whether an entry of the folder has the title.
    bool IsTaken(const std::string& title) const;
    // Moves the set to title: 0, or an errno value (EEXIST: a name was taken meanwhile); a failed move is
    // undone.
    int MoveTo(const std::string& title, bool copySet, const std::vector<std::string>& suffixes);

    const FolderHandle& folder_;
    std::string folderPath_;
    std::string prefix_;
    std::string stamp_;
    std::string workName_;
    bool made_ = false;
};

}  // namespace zov

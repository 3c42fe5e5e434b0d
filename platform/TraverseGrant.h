#pragma once

#include <string>

#include "platform/FolderAccess.h"

// Passage for one account through the folders above a folder, for as long as a holder needs it.
namespace zov {

// One holder's passage: for every folder above a folder (up to "/") that the account cannot pass through,
// a named-user search entry (FolderPassage.h), taken back when no holder needs it any more. The changes and
// their holders are kept in a record file (under the lock "<file>.lock" beside it), so that holders on
// several threads and in several processes share them; the changes of holders that ended without
// releasing (a crash) are taken back by the next Grant, Release or SweepTraverseGrants. Folders are reached
// from "/" one level at a time without following a link, and a recorded folder is changed back only while
// it is still the same folder (device and inode).
class TraverseGrant {
  public:
    TraverseGrant() = default;
    ~TraverseGrant() { Release(); }
    TraverseGrant(const TraverseGrant&) = delete;
    TraverseGrant& operator=(const TraverseGrant&) = delete;

    // Releases what this object held, then gives account passage to folder. 0, or an errno value with
    // failedFolder() naming the folder concerned (nothing is held then): ENOTSUP where a folder that
    // needs an entry has no ACLs, EACCES where the account owns a folder it cannot pass, EPERM where the
    // entry would let others pass too (PassageChanges), ELOOP where a level is a link, EINVAL for a folder
    // name with a line break.
    int Grant(const std::string& recordFile, const std::string& folder, const Account& account);
    const std::string& failedFolder() const { return failedFolder_; }

    // Takes this holder out; the changes no holder needs any more are taken back.
    void Release();

  private:
    std::string recordFile_;
    std::string holder_;
    std::string failedFolder_;
};

// Takes back the changes whose holders have all ended.
void SweepTraverseGrants(const std::string& recordFile);

}  // namespace zov

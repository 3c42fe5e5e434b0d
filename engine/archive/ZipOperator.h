#pragma once

#include <functional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "engine/filter/FilterSet.h"

// The driver of the external archiver "rar": builds its argument vectors, runs it without a shell and
// turns its exit code into a result and a message. Every path follows "--", the end of the switches, so no
// path is ever read as a switch; a password reaches the archiver only through its environment.
namespace zov {

class DriverListFile;

// The archiver to run: temp.ini [SYSTEM] "rar_path" when it names an existing file, else the program
// folder's "rar" when it exists, else "".
std::string GetRarPath();

// Appends to listFile the full path of every file of the source tree that differs from the same path
// under base (MD5), and creates a deletion marker in the source for every file of base that is gone from
// it. False when a line cannot be written.
bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile);
// The same, listing only the files the filter passes (FilterEntryPasses), as the -x/-n masks of a full
// backup take them (markers are made without it).
bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile);

// One job's archiver: every operation runs the archiver path given at construction (usually GetRarPath()
// read by that job), so jobs on several threads never share it. Operations leave their text in message().
// A stop requested through the job's token ends the archiver it runs (and keeps it from starting); that
// run fails.
class CZipOperator {
  public:
    explicit CZipOperator(std::string rarPath, std::stop_token stop = {})
        : rarPath_(std::move(rarPath)), stop_(std::move(stop)) {}

    const std::string& rarPath() const { return rarPath_; }
    // The text of the last failure or warning; emptied by a run that ends with exit code 0.
    const std::string& message() const { return message_; }
    // The exit code of the last archiver process (128 + signal when a signal ended it).
    int lastCode() const { return lastCode_; }

    // Runs the archiver with the arguments (stdin /dev/null, output discarded). The password goes into
    // its environment as RAR=-p<password>, which the archiver reads as switches placed before those of the
    // command line; RAR is emptied when there is none. Exit codes 0, 1, 6 and 10 are success.
    bool RunRar(const std::vector<std::string>& arguments, const std::string& password = "");

    // Leaves folder (usually the storage folder) and all it holds out of every later compression whose
    // source holds it; no effect on a source it does not lie in. "" leaves nothing out.
    void SetExcludedFolder(std::string folder) { excludedFolder_ = std::move(folder); }

    // A volume size below 1 writes one archive file; an empty password leaves the archive open.
    bool CompressFile(const std::string& item, const std::string& storageFolder, const std::string& password,
                      const std::string& archiveName, int volumeMb = 0);
    bool CompressFolder(const std::string& source, const std::string& storageFolder,
                        const std::string& password, const std::string& archiveName, int volumeMb = 0);
    // exclude: the masks are left out (-x), else only they are taken (-n).
    bool CompressFolderFiltered(const std::string& source, const std::string& storageFolder,
                                const std::string& password, const std::string& archiveName, bool exclude,
                                std::vector<std::string> masks, int volumeMb = 0);
    // One archive "<sub-folder>_<stamp>.rar" per direct sub-folder (the excluded folder is none); stops at
    // the first failure.
    bool CompressSubfolders(const std::string& source, const std::string& storageFolder,
                            const std::string& password, int volumeMb = 0);
    bool CompressSubfoldersFiltered(const std::string& source, const std::string& storageFolder,
                                    const std::string& password, bool exclude, std::vector<std::string> masks,
                                    int volumeMb = 0);

    // Compresses what changed in source since base (through a list file) plus deletion markers.
    bool CompressChanges(const std::string& source, const std::string& storageFolder, const std::string& base,
                         const std::string& password, const std::string& archiveName, int volumeMb = 0);
    bool CompressChangesFiltered(const std::string& source, const std::string& storageFolder,
                                 const std::string& base, const std::string& password,
                                 const std::string& archiveName, FilterSet filter, int volumeMb = 0);
    bool CompressSubfolderChanges(const std::string& source, const std::string& storageFolder,
                                  const std::string& base, const std::string& password, int volumeMb = 0);
    bool CompressSubfolderChangesFiltered(const std::string& source, const std::string& storageFolder,
                                          const std::string& base, const std::string& password,
                                          FilterSet filter, int volumeMb = 0);

    // 0 on success, else the archiver's exit code (RarExitCode), or -1 when it could not be run or was
    // stopped.
    int ExtractFile(const std::string& archive, const std::string& destination, const std::string& password,
                    const std::string& subfolder = "");
    // The filter's mode selects -x or -n for its items; -1 on bad input.
    int ExtractFolder(const std::string& archive, const std::string& destination, const std::string& password,
                      FilterSet filter, const std::string& subfolder = "");
    bool TestArchive(const std::string& archive, bool exclude, std::vector<std::string> masks,
                     const std::string& logFile);

  private:
    enum class ChangeMode { Plain, Filtered };
    // Compresses one sub-folder: its path (with '/'), its name and the archive name to use.
    using SubfolderJob =
        std::function<bool(const std::string& path, const std::string& name, const std::string& archiveName)>;

    // storageFolder + archiveName, with ".rar" appended when the name lacks it.
    static std::string ArchivePath(std::string storageFolder, const std::string& archiveName);
    // -x<pattern> (exclude) or -n<pattern> for each pattern of the items, in order.
    static std::vector<std::string> MaskSwitches(bool exclude, const std::vector<std::string>& masks);

    // RunRar as a code: 0 on success, the exit code on failure, -1 when no exit code was had.
    int RunRarCode(const std::vector<std::string>& arguments, const std::string& password);
    // Adds -x@<list> naming the excluded folder when it lies inside source; list is made for it. False
    // (with the message set) when the list cannot be written.
    bool LeaveOutExcludedFolder(const std::string& source, DriverListFile& list,
                                std::vector<std::string>& arguments);
    bool Fail(std::string message);
    // The checks every folder operation makes first; number tells the operations apart in the messages.
    bool CheckFolderJob(const std::string& source, const std::string& storageFolder, int number);
    // After a successful run: the archive (or its first volume) must exist.
    bool CheckArchiveWritten(const std::string& archivePath);
    bool CompressFolderWith(const std::string& source, const std::string& storageFolder,
                            const std::string& password, const std::string& archiveName,
                            const std::vector<std::string>& maskSwitches, int number, int volumeMb);
    bool CompressChangesWith(ChangeMode mode, const std::string& source, const std::string& storageFolder,
                             const std::string& base, const std::string& password,
                             const std::string& archiveName, const FilterSet& filter, int volumeMb);
    // Runs job for each direct sub-folder of source in name order, after the folder checks; stops at the
    // first failure. False when there is no sub-folder.
    bool ForEachSubfolder(const std::string& source, const std::string& storageFolder, int number,
                          const SubfolderJob& job);

    std::string rarPath_;
    std::stop_token stop_;
    std::string excludedFolder_;
    std::string message_;
    int lastCode_ = 0;
};

}  // namespace zov

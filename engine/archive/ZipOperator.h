#pragma once

#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "engine/archive/ZipOperatorChangeList.h"
#include "engine/archive/ZipOperatorChanges.h"
#include "engine/archive/ZipOperatorCompress.h"
#include "engine/archive/ZipOperatorExtract.h"
#include "engine/archive/ZipOperatorLookup.h"
#include "engine/archive/ZipOperatorRun.h"
#include "engine/filter/FilterSet.h"

// The driver of the external archiver "rar": builds its argument vectors, runs it without a shell and
// turns its exit code into a result and a message. Every path follows "--", the end of the switches, so no
// path is ever read as a switch; a password reaches the archiver only through its environment.
// GetRarPath and the change-list writers are declared in ZipOperatorLookup.h and ZipOperatorChangeList.h.
namespace zov {

// One job's archiver: every operation runs the archiver path given at construction (usually GetRarPath()
// read by that job), so jobs on several threads never share it. Operations leave their text in message().
// The work is done by one unit per concept (running the archiver, compressing, compressing changes,
// extracting); each operation here hands its call to the unit's operation of the same name, on this job's
// archiver path, excluded folder, message and last code.
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
    // command line; RAR is emptied when there is none. Exit codes 0, 1, 6 and 10 are success. An archiver
    // that is not a trusted program (TrustedProgramPath) is never run: the call fails naming its path.
    bool RunRar(const std::vector<std::string>& arguments, const std::string& password = "");

    // Leaves folder (usually the storage folder) and all it holds out of every later compression whose
    // source holds it; no effect on a source it does not lie in. "" leaves nothing out.
    void SetExcludedFolder(std::string folder) { excludedFolder_ = std::move(folder); }
    // Writes the archives of the later compressions into folder (a run's work folder) instead of their
    // storage folder; the messages still name the storage folder. "" writes them into the storage folder.
    void SetOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }

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

    // Compresses what changed in source (a folder, or one file) since base through a list file: changed
    // files, new folders, and a deletion marker per entry of base gone from source (WalkChanges). The
    // markers are made in a private folder of the cache folder and stored under the source's own name
    // (-ap); the source is never written to. A deletion that cannot be recorded fails with its name.
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
    ArchiverRun Run() { return ArchiverRun(rarPath_, stop_, message_, lastCode_); }
    ArchiveCompression Compression() {
        return ArchiveCompression(rarPath_, stop_, {excludedFolder_, outputFolder_}, message_, lastCode_);
    }
    ChangeCompression Changes() {
        return ChangeCompression(rarPath_, stop_, {excludedFolder_, outputFolder_}, message_, lastCode_);
    }
    ArchiveExtraction Extraction() { return ArchiveExtraction(rarPath_, stop_, message_, lastCode_); }

    std::string rarPath_;
    std::stop_token stop_;
    std::string excludedFolder_;
    std::string outputFolder_;
    std::string message_;
    int lastCode_ = 0;
};

}  // namespace zov

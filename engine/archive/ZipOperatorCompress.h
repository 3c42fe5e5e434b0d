#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/archive/ZipOperatorRun.h"

// Building and running the compress commands: one item, a folder (whole or through masks), each
// sub-folder of a folder.
namespace zov {

class DriverListFile;

// The numbers that tell the folder operations apart in their messages ("压缩文件夹时<number>，源目录...").
enum FolderJobNumber : int {
    kCompressFolderNumber = 1,
    kCompressFolderFilteredNumber = 2,
    kCompressSubfoldersNumber = 3,
    kCompressSubfoldersFilteredNumber = 4,
    kCompressChangesNumber = 5,
    kCompressChangesFilteredNumber = 6,
    kCompressSubfolderChangesNumber = 7,
    kCompressSubfolderChangesFilteredNumber = 8,
};

// -x<pattern> (exclude) or -n<pattern> for each pattern of the items, in order.
std::vector<std::string> MaskSwitches(bool exclude, const std::vector<std::string>& masks);

// The folders CZipOperator::SetExcludedFolder and SetOutputFolder set for a job's compressions.
struct CompressionFolders {
    const std::string& excluded;
    const std::string& output;
};

// The compressions of one job. The public operations are those of the same name of CZipOperator.
class ArchiveCompression : public ArchiverRun {
  public:
    ArchiveCompression(const std::string& rarPath, const std::stop_token& stop, CompressionFolders folders,
                       std::string& message, int& lastCode)
        : ArchiverRun(rarPath, stop, message, lastCode),
          excludedFolder_(folders.excluded),
          outputFolder_(folders.output) {}

    bool CompressFile(const std::string& item, const std::string& storageFolder, const std::string& password,
                      const std::string& archiveName, int volumeMb);
    bool CompressFolder(const std::string& source, const std::string& storageFolder,
                        const std::string& password, const std::string& archiveName, int volumeMb);
    bool CompressFolderFiltered(const std::string& source, const std::string& storageFolder,
                                const std::string& password, const std::string& archiveName, bool exclude,
                                std::vector<std::string> masks, int volumeMb);
    bool CompressSubfolders(const std::string& source, const std::string& storageFolder,
                            const std::string& password, int volumeMb);
    bool CompressSubfoldersFiltered(const std::string& source, const std::string& storageFolder,
                                    const std::string& password, bool exclude, std::vector<std::string> masks,
                                    int volumeMb);

  protected:
    // Compresses one sub-folder: its path (with '/'), its name and the archive name to use.
    using SubfolderJob =
        std::function<bool(const std::string& path, const std::string& name, const std::string& archiveName)>;

    // The checks every folder operation makes first; number tells the operations apart in the messages.
    bool CheckFolderJob(const std::string& source, const std::string& storageFolder, int number);
    // Where the archive archiveName of storageFolder is written: in the output folder when there is one.
    std::string OutputPath(const std::string& storageFolder, const std::string& archiveName) const;
    // After a successful run: the archive written (or its first volume) must exist; the message names
    // shownPath.
    bool CheckArchiveWritten(const std::string& written, const std::string& shownPath);
    // Runs job for each direct sub-folder of source in name order, after the folder checks; stops at the
    // first failure. False when there is no sub-folder.
    bool ForEachSubfolder(const std::string& source, const std::string& storageFolder, int number,
                          const SubfolderJob& job);

    const std::string& excludedFolder_;
    const std::string& outputFolder_;

  private:
    // Adds -x@<list> naming the excluded folder when it lies inside source; list is made for it. False
    // (with the message set) when the list cannot be written.
    bool LeaveOutExcludedFolder(const std::string& source, DriverListFile& list,
                                std::vector<std::string>& arguments);
    bool CompressFolderWith(const std::string& source, const std::string& storageFolder,
                            const std::string& password, const std::string& archiveName,
                            const std::vector<std::string>& maskSwitches, int number, int volumeMb);
};

}  // namespace zov

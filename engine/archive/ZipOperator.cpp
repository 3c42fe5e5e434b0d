#include "engine/archive/ZipOperator.h"

namespace zov {

bool CZipOperator::RunRar(const std::vector<std::string>& arguments, const std::string& password) {
    return Run().RunRar(arguments, password);
}

bool CZipOperator::CompressFile(const std::string& item, const std::string& storageFolder,
                                const std::string& password, const std::string& archiveName, int volumeMb) {
    return Compression().CompressFile(item, storageFolder, password, archiveName, volumeMb);
}

bool CZipOperator::CompressFolder(const std::string& source, const std::string& storageFolder,
                                  const std::string& password, const std::string& archiveName, int volumeMb) {
    return Compression().CompressFolder(source, storageFolder, password, archiveName, volumeMb);
}

bool CZipOperator::CompressFolderFiltered(const std::string& source, const std::string& storageFolder,
                                          const std::string& password, const std::string& archiveName,
                                          bool exclude, std::vector<std::string> masks, int volumeMb) {
    return Compression().CompressFolderFiltered(source, storageFolder, password, archiveName, exclude,
                                                std::move(masks), volumeMb);
}

bool CZipOperator::CompressSubfolders(const std::string& source, const std::string& storageFolder,
                                      const std::string& password, int volumeMb) {
    return Compression().CompressSubfolders(source, storageFolder, password, volumeMb);
}

bool CZipOperator::CompressSubfoldersFiltered(const std::string& source, const std::string& storageFolder,
                                              const std::string& password, bool exclude,
                                              std::vector<std::string> masks, int volumeMb) {
    return Compression().CompressSubfoldersFiltered(source, storageFolder, password, exclude,
                                                    std::move(masks), volumeMb);
}

bool CZipOperator::CompressChanges(const std::string& source, const std::string& storageFolder,
                                   const std::string& base, const std::string& password,
                                   const std::string& archiveName, int volumeMb) {
    return Changes().CompressChanges(source, storageFolder, base, password, archiveName, volumeMb);
}

bool CZipOperator::CompressChangesFiltered(const std::string& source, const std::string& storageFolder,
                                           const std::string& base, const std::string& password,
                                           const std::string& archiveName, FilterSet filter, int volumeMb) {
    return Changes().CompressChangesFiltered(source, storageFolder, base, password, archiveName,
                                             std::move(filter), volumeMb);
}

bool CZipOperator::CompressSubfolderChanges(const std::string& source, const std::string& storageFolder,
                                            const std::string& base, const std::string& password,
                                            int volumeMb) {
    return Changes().CompressSubfolderChanges(source, storageFolder, base, password, volumeMb);
}

bool CZipOperator::CompressSubfolderChangesFiltered(const std::string& source,
                                                    const std::string& storageFolder, const std::string& base,
                                                    const std::string& password, FilterSet filter,
                                                    int volumeMb) {
    return Changes().CompressSubfolderChangesFiltered(source, storageFolder, base, password,
                                                      std::move(filter), volumeMb);
}

int CZipOperator::ExtractFile(const std::string& archive, const std::string& destination,
                              const std::string& password, const std::string& subfolder) {
    return Extraction().ExtractFile(archive, destination, password, subfolder);
}

int CZipOperator::ExtractFolder(const std::string& archive, const std::string& destination,
                                const std::string& password, FilterSet filter, const std::string& subfolder) {
    return Extraction().ExtractFolder(archive, destination, password, std::move(filter), subfolder);
}

bool CZipOperator::TestArchive(const std::string& archive, bool exclude, std::vector<std::string> masks,
                               const std::string& logFile) {
    return Extraction().TestArchive(archive, exclude, std::move(masks), logFile);
}

}  // namespace zov

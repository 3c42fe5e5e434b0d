#pragma once

#include <string>

#include "engine/archive/ZipOperatorCompress.h"
#include "engine/filter/FilterSet.h"

// Compressing what changed in a folder since its base, through a change list plus deletion markers; for
// the folder or for each of its sub-folders.
namespace zov {

// The change compressions of one job. The public operations are those of the same name of CZipOperator.
class ChangeCompression : public ArchiveCompression {
  public:
    using ArchiveCompression::ArchiveCompression;

    bool CompressChanges(const std::string& source, const std::string& storageFolder, const std::string& base,
                         const std::string& password, const std::string& archiveName, int volumeMb);
    bool CompressChangesFiltered(const std::string& source, const std::string& storageFolder,
                                 const std::string& base, const std::string& password,
                                 const std::string& archiveName, FilterSet filter, int volumeMb);
    bool CompressSubfolderChanges(const std::string& source, const std::string& storageFolder,
                                  const std::string& base, const std::string& password, int volumeMb);
    bool CompressSubfolderChangesFiltered(const std::string& source, const std::string& storageFolder,
                                          const std::string& base, const std::string& password,
                                          FilterSet filter, int volumeMb);

  private:
    enum class ChangeMode { Plain, Filtered };

    bool CompressChangesWith(ChangeMode mode, const std::string& source, const std::string& storageFolder,
                             const std::string& base, const std::string& password,
                             const std::string& archiveName, const FilterSet& filter, int volumeMb);
};

}  // namespace zov

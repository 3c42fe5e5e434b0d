#pragma once

#include <string>
#include <vector>

#include "engine/archive/ZipOperatorRun.h"
#include "engine/filter/FilterSet.h"

// Building and running the extract and test commands.
namespace zov {

// The extractions and tests of one job. The public operations are those of the same name of CZipOperator.
class ArchiveExtraction : public ArchiverRun {
  public:
    using ArchiverRun::ArchiverRun;

    int ExtractFile(const std::string& archive, const std::string& destination, const std::string& password,
                    const std::string& subfolder);
    int ExtractFolder(const std::string& archive, const std::string& destination, const std::string& password,
                      FilterSet filter, const std::string& subfolder);
    bool TestArchive(const std::string& archive, bool exclude, std::vector<std::string> masks,
                     const std::string& logFile);
};

}  // namespace zov

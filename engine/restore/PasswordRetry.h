#pragma once

#include <string>

#include "engine/filter/FilterSet.h"
#include "engine/jobs/JobContext.h"

// The extract of every restore: a wrong password or a damaged archive makes it ask the user for a new
// password and extract again.
namespace zov {

// How often a restore extract asks for a new password: at most this many prompts, one more extract.
inline constexpr int kPasswordPrompts = 3;

// The prompt after a failed extract for the restore of itemPath.
std::string PasswordPrompt(const std::string& itemPath);

// One extract of a restore.
struct RestoreExtract {
    std::string archive;
    std::string destination;
    std::string password;               // "" gives none
    const FilterSet* filter = nullptr;  // set: CZipOperator::ExtractFolder with it; else ExtractFile
    std::string itemPath;               // the restore item the prompt names
};

// Extracts with the archiver rarPath. While the archiver reports a wrong password or a damaged archive,
// asks job.asker for a new password (PasswordPrompt, at most kPasswordPrompts times) and extracts again
// with the answer. A cancelled prompt or job.stop ends it at once. The last extract's result: 0 on
// success, else as CZipOperator::ExtractFile; message receives the archiver's text.
int ExtractWithPasswordRetry(const RestoreExtract& extract, const std::string& rarPath, std::string& message,
                             const JobContext& job);

}  // namespace zov

#pragma once

#include <string>

#include "engine/restore/RestoreOwner.h"

namespace zov {

// Restores the base the user named (a folder or rar archive, as RestoreItemTree restores a base) and lays
// the differential entry over it (LayDifferentialEntry). When the base fails, the job's asker is asked
// whether to go on; No ends it. appendName as RestoreItemTree. One record for the differential. False
// with the text: the target cannot be made, the base or the differential is missing, or the base (even
// when the user went on) or the entry could not be put back completely.
bool RestoreWithOptions(const RestoreOwner& owner, const std::string& differential, const std::string& target,
                        const std::string& base, std::string& message, const std::string& password,
                        bool appendName);

// The question after a failed base.
std::string ContinueAfterBaseQuestion(const std::string& message);
inline constexpr const char* kContinueCaption = "提示";

}  // namespace zov

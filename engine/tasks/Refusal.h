#pragma once

#include <string>
#include <utility>

// How the task units report failure: a reader or check returns true when it succeeds and otherwise
// false, with the reason in its why argument when the caller reports it.
namespace zov {

// Sets why and returns false: `if (value.empty()) return Refuse(why, "...");`.
inline bool Refuse(std::string& why, std::string reason) {
    why = std::move(reason);
    return false;
}

}  // namespace zov

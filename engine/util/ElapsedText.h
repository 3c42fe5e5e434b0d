#pragma once

#include <cstdint>
#include <string>

namespace zov {

// "%d时" when hours > 0, "%d分" when minutes > 0, then always "%d秒": 3725 -> "1时2分5秒", 3600 -> "1时0秒".
std::string FormatElapsed(std::uint64_t seconds);

}  // namespace zov

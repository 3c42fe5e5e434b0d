#include "engine/util/ElapsedText.h"

namespace zov {

std::string FormatElapsed(std::uint64_t seconds) {
    const std::uint64_t hours = seconds / 3600;
    const std::uint64_t minutes = seconds % 3600 / 60;
    std::string text;
    if (hours > 0) text += std::to_string(hours) + "时";
    if (minutes > 0) text += std::to_string(minutes) + "分";
    return text + std::to_string(seconds % 60) + "秒";
}

}  // namespace zov

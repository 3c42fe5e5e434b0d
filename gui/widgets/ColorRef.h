#pragma once

#include <QColor>
#include <cstdint>

namespace zov::gui {

// A colour written as 0x00BBGGRR (red in the low byte).
QColor ColorFromRef(std::uint32_t bgr);

}  // namespace zov::gui

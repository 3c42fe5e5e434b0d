#include "gui/widgets/ColorRef.h"

namespace zov::gui {

QColor ColorFromRef(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

}  // namespace zov::gui

#pragma once

#include <QPixmap>

class QPainter;
class QPalette;
class QRect;
class QString;

// Pieces of drawing the owner-drawn buttons share.
namespace zov::gui {

// The offset of a pressed button's picture and caption in the classic look.
inline constexpr QPoint kPressedOffset{1, 1};

// A picture of a disabled control: grey and flattened, as the style draws disabled icons.
QPixmap DisabledPixmap(const QPixmap& pixmap);

// A caption of a disabled control: in the light colour one pixel down and right, then in the shadow colour.
void DrawEmbossedText(QPainter& painter, const QRect& rect, int flags, const QString& text,
                      const QPalette& palette);

}  // namespace zov::gui

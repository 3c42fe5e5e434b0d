#include "gui/widgets/ButtonPainting.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOption>

namespace zov::gui {

QPixmap DisabledPixmap(const QPixmap& pixmap) {
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(QIcon::Disabled, pixmap, &option);
}

void DrawEmbossedText(QPainter& painter, const QRect& rect, int flags, const QString& text,
                      const QPalette& palette) {
    painter.setPen(palette.color(QPalette::Light));
    painter.drawText(rect.translated(1, 1), flags, text);
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawText(rect, flags, text);
}

}  // namespace zov::gui

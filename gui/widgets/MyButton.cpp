#include "gui/widgets/MyButton.h"

#include <QBitmap>
#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "gui/widgets/ButtonPainting.h"
#include "gui/widgets/ColorRef.h"

namespace zov::gui {

namespace {

constexpr int kEdge = 2;            // the rectangle inside the outer frame
constexpr int kCornerEllipse = 30;  // the window's own corners
constexpr int kFrameEllipse = 5;    // the outer frame's corners

struct EdgePens {
    QPen left, right, top, bottom;
};

QPen Pen(std::uint32_t colour, int width) { return QPen(ColorFromRef(colour), width); }

// Under the mouse, or without the focus.
EdgePens HoverPens() { return {Pen(0xFFD680, 1), Pen(0xC8953F, 2), Pen(0xFFD680, 1), Pen(0xC8953F, 1)}; }
// Focused with the mouse away.
EdgePens FocusPens() { return {Pen(0xFCC699, 2), Pen(0xFCBDA2, 2), Pen(0xFFC9A2, 1), Pen(0xFFC9A2, 1)}; }

}  // namespace

CMyButton::CMyButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

QColor CMyButton::BandColour(int band, bool hover, bool pressedLook) {
    const int a = 255 - band / 4;
    const int b = 255 - band / 5;
    const int c = 255 - band / 3;
    if (hover) return QColor(a, a, pressedLook ? c : b);
    return QColor(c, c, pressedLook ? a : b);
}

int CMyButton::BandOfRow(int y, int height) { return height <= 0 ? 0 : std::min(63, y * 63 / height); }

void CMyButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool focused = hasFocus();
    const bool pressedLook = focused || isDown() || isDefault();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Pen(0xBDAB94, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect().adjusted(0, 0, -1, -1), kFrameEllipse / 2.0, kFrameEllipse / 2.0);

    const QRect inner = rect().adjusted(kEdge, kEdge, -kEdge, -kEdge);
    for (int row = 0; row < inner.height(); ++row) {
        painter.fillRect(QRect(inner.left(), inner.top() + row, inner.width(), 1),
                         BandColour(BandOfRow(row, inner.height()), hover_, pressedLook));
    }

    if (hover_ || focused) {
        const bool focusLook = focused && !hover_;
        const EdgePens pens = focusLook ? FocusPens() : HoverPens();
        painter.setPen(pens.left);
        painter.drawLine(inner.bottomLeft(), inner.topLeft());
        painter.setPen(pens.right);
        painter.drawLine(inner.topRight(), inner.bottomRight());
        painter.setPen(pens.top);
        painter.drawLine(inner.topLeft(), inner.topRight());
        painter.setPen(pens.bottom);
        painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        if (focusLook) {
            painter.setPen(QPen(palette().color(QPalette::Dark), 1, Qt::DotLine));
            painter.drawRect(inner.adjusted(2, 2, -3, -3));
        }
    }

    const QRect caption = isDown() ? inner.translated(kPressedOffset) : inner;
    painter.setFont(font());
    if (!isEnabled()) {
        DrawEmbossedText(painter, caption, Qt::AlignCenter, text(), palette());
        return;
    }
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(caption, Qt::AlignCenter, text());
}

void CMyButton::resizeEvent(QResizeEvent* event) {
    QBitmap mask(size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(rect(), kCornerEllipse / 2.0, kCornerEllipse / 2.0);
    painter.end();
    setMask(mask);
    QPushButton::resizeEvent(event);
}

void CMyButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QPushButton::enterEvent(event);
}

void CMyButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QPushButton::leaveEvent(event);
}

}  // namespace zov::gui

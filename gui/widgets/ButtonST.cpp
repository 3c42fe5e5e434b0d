#include "gui/widgets/ButtonST.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "gui/widgets/ButtonPainting.h"
#include "gui/widgets/Resources.h"

namespace zov::gui {

namespace {

constexpr int kMargin = 3;
constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignCenter;

template <typename Change>
QPixmap MapNonBlack(const QPixmap& pixmap, Change change) {
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            if ((pixel & 0x00FFFFFF) != 0) line[x] = change(pixel);
        }
    }
    return QPixmap::fromImage(image);
}

}  // namespace

QPixmap GreyCopy(const QPixmap& pixmap) {
    return MapNonBlack(pixmap, [](QRgb pixel) {
        const int grey = static_cast<int>(0.299 * qRed(pixel) + 0.587 * qGreen(pixel) + 0.114 * qBlue(pixel));
        return qRgba(grey, grey, grey, qAlpha(pixel));
    });
}

QPixmap DarkerCopy(const QPixmap& pixmap) {
    return MapNonBlack(pixmap, [](QRgb pixel) {
        return qRgba(qRed(pixel) * 3 / 4, qGreen(pixel) * 3 / 4, qBlue(pixel) * 3 / 4, qAlpha(pixel));
    });
}

CButtonST::CButtonST(const QString& text, QWidget* parent) : QPushButton(text, parent), menu_(this) {
    setFlat(true);
    connect(this, &QPushButton::clicked, this, [this] {
        setFocus(Qt::MouseFocusReason);
        if (!isCheckable() && !menu_.isEmpty()) ShowMenu();
    });
}

int CButtonST::SetIcon(int inId, int outId) {
    const auto load = [](int id) { return LoadIcon(id).pixmap(kIconSize, kIconSize); };
    const QPixmap in = load(inId);
    if (in.isNull()) return SetIconPixmaps({});
    switch (outId) {
        case kOutNone:
            return SetIconPixmaps(in);
        case kOutGrey:
            return SetIconPixmaps(in, GreyCopy(in));
        case kOutDarker:
            return SetIconPixmaps(in, DarkerCopy(in));
        default:
            return SetIconPixmaps(in, load(outId));
    }
}

int CButtonST::SetIconPixmaps(const QPixmap& in, const QPixmap& out) {
    in_ = in;
    out_ = in.isNull() ? QPixmap() : out;
    updateGeometry();
    update();
    return in.isNull() ? 1 : 0;
}

int CButtonST::SetDrawBorder(bool draw) {
    drawBorder_ = draw;
    update();
    return 0;
}

int CButtonST::SetTooltipText(const QString& text, bool activate) {
    setToolTip(activate ? text : QString());
    return 0;
}

int CButtonST::SetTransparent() {
    transparent_ = true;
    update();
    return 0;
}

int CButtonST::SetPressedStyle(int style) {
    if (style != 0 && style != 1) return 6;
    pressedOffset_ = style == 0 ? QPoint(1, 1) : QPoint(0, 2);
    update();
    return 0;
}

void CButtonST::SetAlign(Align align) {
    align_ = align;
    updateGeometry();
    update();
}

QSize CButtonST::sizeHint() const {
    const QSize text = fontMetrics().size(0, this->text());
    const QSize icon = in_.isNull() ? QSize() : in_.deviceIndependentSize().toSize();
    const int gap = in_.isNull() || this->text().isEmpty() ? 0 : kMargin;
    if (align_ == Align::IconAbove) {
        return {std::max(icon.width(), text.width()) + 4 * kMargin,
                icon.height() + gap + text.height() + 4 * kMargin};
    }
    return {icon.width() + gap + text.width() + 4 * kMargin,
            std::max(icon.height(), text.height()) + 4 * kMargin};
}

bool CButtonST::IsPressed() const { return isCheckable() ? isDown() || isChecked() : isDown() || menuShown_; }

void CButtonST::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = IsPressed();
    if (!transparent_) painter.fillRect(rect(), palette().button());
    if (drawBorder_ && (pressed || mouseOn_)) {
        const QColor light = palette().color(QPalette::Light);
        const QColor shadow = palette().color(QPalette::Dark);
        const QRect frame = rect();
        painter.setPen(pressed ? shadow : light);
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(pressed ? light : shadow);
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
    }
    const QRect textArea = DrawIcon(painter, pressed);
    if (!text().isEmpty()) DrawText(painter, textArea, pressed);
}

QRect CButtonST::DrawIcon(QPainter& painter, bool pressed) const {
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (in_.isNull()) return area;
    const bool useIn = pressed || (!isCheckable() && mouseOn_) || out_.isNull();
    QPixmap picture = useIn ? in_ : out_;
    if (!isEnabled()) picture = DisabledPixmap(picture);
    const QSize size = picture.deviceIndependentSize().toSize();
    const bool captioned = !text().isEmpty();
    QPoint place;
    switch (align_) {
        case Align::IconLeft:
            place = {captioned ? area.left() : area.left() + (area.width() - size.width()) / 2,
                     area.top() + (area.height() - size.height()) / 2};
            if (captioned) area.setLeft(place.x() + size.width());
            break;
        case Align::IconAbove:
            place = {area.left() + (area.width() - size.width()) / 2,
                     captioned ? area.top() : area.top() + (area.height() - size.height()) / 2};
            if (captioned) area.setTop(place.y() + size.height());
            break;
        case Align::IconRight:
            place = {
                captioned ? area.right() + 1 - size.width() : area.left() + (area.width() - size.width()) / 2,
                area.top() + (area.height() - size.height()) / 2};
            if (captioned) area.setRight(place.x() - 1);
            break;
    }
    if (pressed && !isCheckable()) place += pressedOffset_;
    painter.drawPixmap(place, picture);
    return area;
}

void CButtonST::DrawText(QPainter& painter, QRect area, bool pressed) const {
    if (pressed && !isCheckable()) area.translate(pressedOffset_);
    painter.setFont(font());
    if (!isEnabled()) {
        DrawEmbossedText(painter, area, kTextFlags, text(), palette());
        return;
    }
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(area, kTextFlags, text());
}

void CButtonST::ShowMenu() {
    menuShown_ = true;
    update();
    menu_.exec(mapToGlobal(rect().bottomLeft()));
    menuShown_ = false;
    update();
}

void CButtonST::enterEvent(QEnterEvent* event) {
    if (!QApplication::mouseButtons().testFlag(Qt::LeftButton) || mouseOn_) SetMouseOn(true);
    QPushButton::enterEvent(event);
}

void CButtonST::leaveEvent(QEvent* event) {
    SetMouseOn(false);
    QPushButton::leaveEvent(event);
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
    SetMouseOn(false);
    QPushButton::focusOutEvent(event);
}

void CButtonST::changeEvent(QEvent* event) {
    if ((event->type() == QEvent::EnabledChange && !isEnabled()) ||
        (event->type() == QEvent::ActivationChange && !isActiveWindow())) {
        SetMouseOn(false);
    }
    QPushButton::changeEvent(event);
}

void CButtonST::SetMouseOn(bool on) {
    if (mouseOn_ == on) return;
    mouseOn_ = on;
    update();
}

}  // namespace zov::gui

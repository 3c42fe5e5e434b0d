#include "gui/widgets/BitButtonNL.h"

#include <QApplication>
#include <QPainter>

#include "gui/widgets/ButtonPainting.h"
#include "gui/widgets/Resources.h"

namespace zov::gui {

namespace {

constexpr int kTextFlags = Qt::TextWordWrap | Qt::AlignHCenter;

}  // namespace

CBitButtonNL::CBitButtonNL(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

bool CBitButtonNL::SetBitmaps(const QPixmap& normal, const QPixmap& pressed, const QPixmap& hover,
                              const QPixmap& disabled) {
    if (normal.isNull()) {
        normal_ = pressed_ = hoverBitmap_ = disabled_ = QPixmap();
        update();
        return false;
    }
    normal_ = normal;
    pressed_ = pressed;
    hoverBitmap_ = hover;
    disabled_ = disabled;
    resize(normal_.size());
    updateGeometry();
    update();
    return true;
}

bool CBitButtonNL::LoadBitmaps(int normal, int pressed, int hover, int disabled) {
    const auto load = [](int id) { return id != 0 ? LoadBitmap(id) : QPixmap(); };
    return SetBitmaps(load(normal), load(pressed), load(hover), load(disabled));
}

void CBitButtonNL::SetTextColors(const QColor& normal, const QColor& pressed, const QColor& hover) {
    normalColour_ = normal;
    pressedColour_ = pressed;
    hoverColour_ = hover;
    update();
}

CBitButtonNL& CBitButtonNL::SetShowText(bool show) {
    showText_ = show;
    update();
    return *this;
}

CBitButtonNL& CBitButtonNL::SetFontBold(bool bold) {
    QFont bolder = font();
    bolder.setBold(bold);
    setFont(bolder);
    return *this;
}

CBitButtonNL& CBitButtonNL::SetTextShadow(bool on, QPoint offset) {
    shadow_ = on;
    shadowOffset_ = offset;
    update();
    return *this;
}

CBitButtonNL& CBitButtonNL::SetShadowColor(const QColor& colour) {
    shadowColour_ = colour;
    update();
    return *this;
}

CBitButtonNL& CBitButtonNL::SetEmbossDisabled(bool emboss) {
    embossDisabled_ = emboss;
    update();
    return *this;
}

void CBitButtonNL::SetTextAlign(TextAlign align) {
    align_ = align;
    update();
}

QSize CBitButtonNL::sizeHint() const { return normal_.isNull() ? QPushButton::sizeHint() : normal_.size(); }

void CBitButtonNL::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool pressed = isDown();
    const bool disabled = !isEnabled();
    if (!normal_.isNull()) DrawBitmap(painter, pressed, disabled);
    if (showText_ && !text().isEmpty()) DrawText(painter, pressed, disabled);
}

void CBitButtonNL::DrawBitmap(QPainter& painter, bool pressed, bool disabled) const {
    if (disabled) {
        painter.drawPixmap(0, 0, disabled_.isNull() ? DisabledPixmap(normal_) : disabled_);
    } else if (pressed) {
        if (pressed_.isNull()) {
            painter.drawPixmap(kPressedOffset, normal_);
        } else {
            painter.drawPixmap(0, 0, pressed_);
        }
    } else {
        painter.drawPixmap(0, 0, hover_ && !hoverBitmap_.isNull() ? hoverBitmap_ : normal_);
    }
}

void CBitButtonNL::DrawText(QPainter& painter, bool pressed, bool disabled) const {
    painter.setFont(font());
    QRect area = rect();
    if (pressed) area.translate(kPressedOffset);
    const QRect measured = painter.boundingRect(area, kTextFlags, text());
    const int free = area.height() - measured.height();
    const int down = align_ == TextAlign::Upper   ? free / 5
                     : align_ == TextAlign::Lower ? free * 4 / 5
                                                  : free / 2;
    const QRect place(area.left(), area.top() + down, area.width(), measured.height());
    if (disabled && embossDisabled_) {
        DrawEmbossedText(painter, place, kTextFlags, text(), palette());
        return;
    }
    if (pressed) {
        painter.setPen(pressedColour_);
    } else {
        if (shadow_) {
            painter.setPen(shadowColour_);
            painter.drawText(place.translated(shadowOffset_), kTextFlags, text());
        }
        painter.setPen(hover_ ? hoverColour_ : normalColour_);
    }
    painter.drawText(place, kTextFlags, text());
}

void CBitButtonNL::enterEvent(QEnterEvent* event) {
    // A drag that began elsewhere does not light the button up.
    if (!QApplication::mouseButtons().testFlag(Qt::LeftButton)) SetHover(true);
    QPushButton::enterEvent(event);
}

void CBitButtonNL::leaveEvent(QEvent* event) {
    SetHover(false);
    QPushButton::leaveEvent(event);
}

void CBitButtonNL::focusOutEvent(QFocusEvent* event) {
    SetHover(false);
    QPushButton::focusOutEvent(event);
}

void CBitButtonNL::SetHover(bool hover) {
    if (hover_ == hover) return;
    hover_ = hover;
    update();
}

}  // namespace zov::gui

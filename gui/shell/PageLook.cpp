#include "gui/shell/PageLook.h"

#include <QLabel>
#include <QPalette>
#include <QWidget>

#include "gui/widgets/MyButton.h"

namespace zov::gui {

QFont PageFont(int pixelHeight, bool bold) {
    QFont font(kCjkFontFamily);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget& widget, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget.setPalette(palette);
}

void MakeWhitePage(QWidget& page) {
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, Qt::white);
    page.setPalette(palette);
    page.setAutoFillBackground(true);
}

void SetTaskTooltipLook(QWidget& widget) {
    widget.setStyleSheet("QToolTip { color: #feeded; background-color: #121a2a; }");
}

QLabel* AddLabel(QWidget& parent, const char* id, const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, &parent);
    label->setObjectName(id);
    label->setGeometry(x, y, width, height);
    label->setFont(PageFont(12));
    return label;
}

CMyButton* AddButton(QWidget& parent, const char* id, const QString& text, const QRect& where) {
    auto* button = new CMyButton(text, &parent);
    button->setObjectName(id);
    button->setGeometry(where);
    button->setFont(PageFont(12));
    return button;
}

}  // namespace zov::gui

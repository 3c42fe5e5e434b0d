#include "gui/pages/PageControls.h"

#include <QRadioButton>

#include "gui/widgets/MyButton.h"

namespace zov::gui {

CMyButton* AddButton(QWidget& parent, const char* id, const QString& text, const QRect& where) {
    auto* button = new CMyButton(text, &parent);
    button->setObjectName(id);
    button->setGeometry(where);
    button->setFont(PageFont(12));
    return button;
}

QRadioButton* AddRadio(QWidget& parent, const char* id, const QString& text, const QRect& where) {
    auto* radio = new QRadioButton(text, &parent);
    radio->setObjectName(id);
    radio->setGeometry(where);
    radio->setFont(PageFont(12));
    return radio;
}

}  // namespace zov::gui

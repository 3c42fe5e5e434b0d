#include "gui/pages/PageControls.h"

#include <QRadioButton>

namespace zov::gui {

QRadioButton* AddRadio(QWidget& parent, const char* id, const QString& text, const QRect& where) {
    auto* radio = new QRadioButton(text, &parent);
    radio->setObjectName(id);
    radio->setGeometry(where);
    radio->setFont(PageFont(12));
    return radio;
}

}  // namespace zov::gui

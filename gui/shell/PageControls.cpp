#include "gui/shell/PageControls.h"

#include <QComboBox>
#include <QRadioButton>

#include "platform/Text.h"

namespace zov::gui {

QRadioButton* AddRadio(QWidget& parent, const char* id, const QString& text, const QRect& where) {
    auto* radio = new QRadioButton(text, &parent);
    radio->setObjectName(id);
    radio->setGeometry(where);
    radio->setFont(PageFont(12));
    return radio;
}

int ExactEntry(const QComboBox& box, const QString& text) {
    const std::string wanted = text.toStdString();
    for (int index = 0; index < box.count(); ++index) {
        if (EqualsIgnoreAsciiCase(box.itemText(index).toStdString(), wanted)) return index;
    }
    return -1;
}

}  // namespace zov::gui

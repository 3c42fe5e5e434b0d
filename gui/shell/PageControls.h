#pragma once

#include <QRect>
#include <QString>

#include "gui/shell/PageLook.h"

class QComboBox;
class QRadioButton;
class QWidget;

// The controls of the task pages and their dialogs: placed at a rectangle, with their id as object name, in
// the pages' font (the buttons: AddButton of PageLook.h).
namespace zov::gui {

QRadioButton* AddRadio(QWidget& parent, const char* id, const QString& text, const QRect& where);

// The index of the box's entry that is text, ASCII case ignored (never an entry that only begins with it); -1
// when there is none.
int ExactEntry(const QComboBox& box, const QString& text);

// An edit of any class made from its parent (QLineEdit, CDropEdit, ...).
template <typename Edit>
Edit* AddEdit(QWidget& parent, const char* id, const QRect& where) {
    auto* edit = new Edit(&parent);
    edit->setObjectName(id);
    edit->setGeometry(where);
    edit->setFont(PageFont(12));
    return edit;
}

}  // namespace zov::gui

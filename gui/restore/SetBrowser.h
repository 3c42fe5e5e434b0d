#pragma once

#include <QString>

class QWidget;

namespace zov::gui {

// Lets the user choose a backup set: a folder or a file, starting at start. "" when none was chosen.
QString ChooseFileOrFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace zov::gui

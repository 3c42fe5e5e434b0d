#pragma once

#include <QString>

class QWidget;

// The program's file and folder choosers: the toolkit's dialog, with the columns of its detail view as wide
// as their values. Each returns the chosen path, or "" when the user cancelled.
namespace zov::gui {

QString ChooseFile(QWidget* parent, const QString& caption, const QString& start, const QString& filter);
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start);

}  // namespace zov::gui

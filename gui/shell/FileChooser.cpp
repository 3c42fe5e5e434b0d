#include "gui/shell/FileChooser.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>

namespace zov::gui {

namespace {

// The size, type and date columns follow their longest value; the name column stays as the user drags it.
void FitColumns(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>("treeView");
    if (view == nullptr) return;  // a desktop's own dialog
    for (int column = 1; column < view->header()->count(); ++column)
        view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

QString Choose(QFileDialog& dialog) {
    FitColumns(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

}  // namespace

QString ChooseFile(QWidget* parent, const QString& caption, const QString& start, const QString& filter) {
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Choose(dialog);
}

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    QFileDialog dialog(parent, caption, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return Choose(dialog);
}

}  // namespace zov::gui

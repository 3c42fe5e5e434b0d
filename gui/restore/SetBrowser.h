#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QTreeView;

namespace zov::gui {

// The folder browser of the restore dialog: the file system from its root as a tree, opened at a start
// path, listing folders and, when asked, files too; "确定" takes the entry selected.
class CSetBrowser : public QDialog {
    Q_OBJECT

  public:
    CSetBrowser(QWidget* parent, const QString& title, const QString& start, bool withFiles);

    // The entry selected; "" when none is.
    QString Chosen() const;
    // Selects the entry at path.
    void Select(const QString& path);

  private:
    QFileSystemModel* model_;
    QTreeView* view_;
};

// Lets the user choose a folder (or, withFiles, a folder or a file), starting at start. "" when none was
// chosen.
QString BrowseForPath(QWidget* parent, const QString& title, const QString& start, bool withFiles);

}  // namespace zov::gui

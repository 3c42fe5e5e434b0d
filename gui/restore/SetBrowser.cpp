#include "gui/restore/SetBrowser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace zov::gui {
namespace {

// A folder chooser that lists files too and takes a chosen file as well as a folder.
class FileOrFolderDialog : public QFileDialog {
  public:
    FileOrFolderDialog(QWidget* parent, const QString& title, const QString& start)
        : QFileDialog(parent, title, start) {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::Directory);
    }

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && QFileInfo(chosen.first()).isFile()) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

QString ChooseFileOrFolder(QWidget* parent, const QString& title, const QString& start) {
    FileOrFolderDialog dialog(parent, title, start);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

}  // namespace zov::gui

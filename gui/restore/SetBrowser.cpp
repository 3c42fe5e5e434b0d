#include "gui/restore/SetBrowser.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QTreeView>

#include "gui/shell/PageLook.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/MyButton.h"

namespace zov::gui {

CSetBrowser::CSetBrowser(QWidget* parent, const QString& title, const QString& start, bool withFiles)
    : QDialog(parent), model_(new QFileSystemModel(this)), view_(new QTreeView(this)) {
    setWindowTitle(title);
    setFixedSize(420, 420);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden |
                      (withFiles ? QDir::Files : QDir::Filters()));
    model_->setRootPath("/");
    view_->setModel(model_);
    view_->setGeometry(12, 12, 396, 356);
    view_->setFont(PageFont(12));
    for (int column = 1; column < model_->columnCount(); ++column) view_->hideColumn(column);
    view_->header()->hide();
    auto* ok = new CMyButton("确定", this);
    ok->setGeometry(220, 380, 90, 28);
    auto* cancel = new CMyButton("取消", this);
    cancel->setGeometry(318, 380, 90, 28);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    InstallDialogKeyFilter(this);
    if (!start.isEmpty()) Select(start);
}

void CSetBrowser::Select(const QString& path) {
    const QModelIndex index = model_->index(path);
    if (!index.isValid()) return;
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
        view_->expand(parent);
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

QString CSetBrowser::Chosen() const {
    const QModelIndex index = view_->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

QString BrowseForPath(QWidget* parent, const QString& title, const QString& start, bool withFiles) {
    CSetBrowser browser(parent, title, start, withFiles);
    return browser.exec() == QDialog::Accepted ? browser.Chosen() : QString();
}

}  // namespace zov::gui

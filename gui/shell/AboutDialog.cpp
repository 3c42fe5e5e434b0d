#include "gui/shell/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "gui/shell/GuiUtilities.h"
#include "gui/widgets/Resources.h"

namespace zov::gui {

namespace {

constexpr int kWindowIcon = 182;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString("关于 %1").arg(kProductName));
    setFixedSize(320, 120);
    auto* icon = new QLabel(this);
    icon->setPixmap(LoadIcon(kWindowIcon).pixmap(32, 32));
    icon->setGeometry(16, 16, 32, 32);
    auto* name = new QLabel(QString("%1 %2.1 版").arg(kProductName, kProductVersion), this);
    name->setGeometry(64, 16, 240, 18);
    auto* maker = new QLabel("Velmorand", this);
    maker->setGeometry(64, 40, 240, 18);
    auto* ok = new QPushButton("确定", this);
    ok->setObjectName("ok");
    ok->setGeometry(232, 80, 72, 26);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace zov::gui

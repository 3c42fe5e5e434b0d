#include "gui/shell/SysSetupDlg.h"

#include <QPainter>

#include "gui/shell/PageTabs.h"
#include "gui/widgets/DialogKeyFilter.h"

namespace zov::gui {

CSysSetupDlg::CSysSetupDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("203");
    resize(546, 403);
    settings_ = new CSysSetupSubDlg(this);
    state_ = new CSysSetupStateDlg(this);
    tabs_ = new PageTabs(*this);
    tabs_->Add("1384", "系统设置", 14, settings_);
    tabs_->Add("1095", "系统状态", 108, state_);
    InstallDialogKeyFilter(this);
}

QWidget* CSysSetupDlg::currentPage() const { return tabs_->current(); }

void CSysSetupDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PageTabs::PaintFrame(painter);
}

}  // namespace zov::gui

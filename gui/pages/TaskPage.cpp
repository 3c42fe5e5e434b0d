#include "gui/pages/TaskPage.h"

#include <QPainter>

#include "gui/pages/TaskListPage.h"
#include "gui/shell/PageTabs.h"
#include "gui/widgets/DialogKeyFilter.h"

namespace zov::gui {

TaskPage::TaskPage(const char* id, QWidget* parent) : QWidget(parent) {
    setObjectName(id);
    resize(546, 403);
}

void TaskPage::Assemble(TaskListPage* list, const TaskPageLook& look) {
    log_ = new CBackupLogDlg(look.log, this);
    log_->setObjectName(look.logId);
    tabs_ = new PageTabs(*this);
    tabs_->Add(look.listTabId, look.listTab, 14, list);
    tabs_->Add(look.logTabId, "日 志", 108, log_);
    runNow_ = new RunNow(look.runs, look.texts, this);
    connect(list, &TaskListPage::runRequested, runNow_, &RunNow::Start);
    connect(runNow_, &RunNow::runEnded, list, &TaskListPage::OnRunEnded);
    InstallDialogKeyFilter(this);
}

void TaskPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PageTabs::PaintFrame(painter);
}

}  // namespace zov::gui

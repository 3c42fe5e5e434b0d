#pragma once

#include <QWidget>

#include "gui/shell/SysSetupStateDlg.h"
#include "gui/shell/SysSetupSubDlg.h"

namespace zov::gui {

class PageTabs;

// The settings page of the main window: two tab buttons switch between the settings sub-page and the
// state sub-page, both at (14, 35, 520, 360) inside a thin frame.
class CSysSetupDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CSysSetupDlg(QWidget* parent);

    CSysSetupSubDlg* settingsPage() const { return settings_; }
    CSysSetupStateDlg* statePage() const { return state_; }
    QWidget* currentPage() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CSysSetupSubDlg* settings_;
    CSysSetupStateDlg* state_;
    PageTabs* tabs_;
};

}  // namespace zov::gui

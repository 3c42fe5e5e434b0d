#pragma once

#include <QDialog>

namespace zov::gui {

// "Stowmeran 文件筛选规则说明": how the filter patterns of a file task are written, in a read-only text
// of seven numbered items, the last naming the maker's site (config.ini [QEL] "SiteUrl").
class CFilterHintDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CFilterHintDlg(QWidget* parent);
};

}  // namespace zov::gui

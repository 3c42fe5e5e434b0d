#pragma once

#include <QDialog>
#include <QString>

namespace zov::gui {

// "Stowmeran 文件筛选规则说明": how the filter patterns of a file task are written, in a read-only text.
class CFilterHintDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CFilterHintDlg(QWidget* parent);

    // The help text: seven numbered items, the last naming the maker's site (config.ini [QEL] "SiteUrl").
    static QString HelpText();
};

}  // namespace zov::gui

#pragma once

#include <QDialog>

namespace zov::gui {

// The About box: the product's name and version, the maker and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace zov::gui

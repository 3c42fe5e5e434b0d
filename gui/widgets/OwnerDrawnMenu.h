#pragma once

#include <QMenu>

namespace zov::gui {

// The drop-down menu of a CButtonST: empty unless actions are added; the button shows it when it has any.
class BCMenu : public QMenu {
    Q_OBJECT

  public:
    using QMenu::QMenu;
};

}  // namespace zov::gui

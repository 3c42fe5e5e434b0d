#pragma once

#include <string>

class QWidget;

namespace zov::gui {

// The closing box of a restore.
struct RestoreBox {
    bool succeeded = false;  // information icon; else error icon
    std::string text;
    std::string caption;
};

// A file restore's box: "还原成功" ("成 功"), or "还原失败\n" + message ("失 败").
RestoreBox FileRestoreBox(bool succeeded, const std::string& message);

// Shows the box over owner (nullptr: no owner). Window thread only.
void ShowRestoreBox(QWidget* owner, const RestoreBox& box);

}  // namespace zov::gui

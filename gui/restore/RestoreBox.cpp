#include "gui/restore/RestoreBox.h"

#include "gui/shell/Prompter.h"

namespace zov::gui {

RestoreBox FileRestoreBox(bool succeeded, const std::string& message) {
    if (succeeded) return {true, "还原成功", "成 功"};
    return {false, "还原失败\n" + message, "失 败"};
}

void ShowRestoreBox(QWidget* owner, const RestoreBox& box) {
    ShowBox(owner, QString::fromStdString(box.text), QString::fromStdString(box.caption),
            box.succeeded ? Prompter::Icon::Information : Prompter::Icon::Error);
}

}  // namespace zov::gui

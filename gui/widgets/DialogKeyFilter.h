#pragma once

class QWidget;

namespace zov::gui {

// Swallows the key presses Enter, Return, Escape and Alt+F4 aimed at the dialog or any widget inside it, so
// it closes only through its own buttons or the close box. Other windows (the dialog's message boxes)
// keep their keys. Window thread only; the dialog may be destroyed at any time.
void InstallDialogKeyFilter(QWidget* dialog);

}  // namespace zov::gui

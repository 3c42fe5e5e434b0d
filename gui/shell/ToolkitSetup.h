#pragma once

class QApplication;

// The toolkit's own dialogs in the program's language and look.
namespace zov::gui {

// Loads the toolkit's Chinese translations (its standard buttons and file chooser; left in English when
// they are not installed) and makes the labels' font the font of every widget, on every platform.
void SetUpToolkit(QApplication& application);

}  // namespace zov::gui

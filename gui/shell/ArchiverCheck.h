#pragma once

class QWidget;

namespace zov::gui {

// Looks the archiver up (GetRarPath). Found: its path becomes temp.ini [SYSTEM] "rar_path". Missing, with
// askWhenMissing: the box that offers its download page over owner. True when found.
bool FindArchiver(QWidget* owner, bool askWhenMissing);

}  // namespace zov::gui

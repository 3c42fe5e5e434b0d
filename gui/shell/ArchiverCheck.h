#pragma once

class QWidget;

namespace zov::gui {

// Looks the archiver up (GetRarPath). Found: its path becomes temp.ini [SYSTEM] "rar_path" and the
// archiver counts as available for the rest of the run. Missing, with askWhenMissing: the box that offers
// its download page over owner. True when found.
bool FindArchiver(QWidget* owner, bool askWhenMissing);

// Whether the archiver was found (at start or since): the SQL Server and MySQL pages need it.
bool RarAvailable();

}  // namespace zov::gui

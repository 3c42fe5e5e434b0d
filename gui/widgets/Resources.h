#pragma once

#include <QIcon>
#include <QPixmap>

namespace zov::gui {

// The program's images by their resource numbers: bitmaps 146 (main window background), 187, 188 and 190
// (tab button: normal, hover, pressed), 207 (start-up splash).
// A null pixmap for a number the program does not hold.
QPixmap LoadBitmap(int resourceId);

// The program's icons by their resource numbers: 137 (notification area), 182 (windows), 183 (files),
// 184 (SQL Server), 185 (MySQL), 191 (products), 192 (help), 202 (settings), 220 (file restore). A null
// icon for a number the program does not hold.
QIcon LoadIcon(int resourceId);

}  // namespace zov::gui

#pragma once

class QAbstractItemView;

namespace zov::gui {

// The light grey lines a list draws around its items: none (a table draws its own grid), under each row, or
// also between the columns.
enum class ItemLines { None, Rows, RowsAndColumns };

// The look every list of the program shares: a selected row is white text on dark blue, with or without
// focus, in an active window or not.
void SetListLook(QAbstractItemView& list, ItemLines lines);

}  // namespace zov::gui

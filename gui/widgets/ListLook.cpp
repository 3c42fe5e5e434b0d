#include "gui/widgets/ListLook.h"

#include <QAbstractItemView>
#include <QString>

namespace zov::gui {

namespace {

QString LinesRule(ItemLines lines) {
    switch (lines) {
        case ItemLines::Rows:
            return "QTreeView::item { border-bottom: 1px solid #d8d8d8; }";
        case ItemLines::RowsAndColumns:
            return "QTreeView::item { border-right: 1px solid #d8d8d8; border-bottom: 1px solid #d8d8d8; }";
        case ItemLines::None:
            break;
    }
    return {};
}

}  // namespace

void SetListLook(QAbstractItemView& list, ItemLines lines) {
    list.setStyleSheet(LinesRule(lines) +
                       "QAbstractItemView::item:selected { color: #ffffff; background-color: #2a62b0; }");
}

}  // namespace zov::gui

#include "gui/widgets/SortListCtrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "gui/widgets/ListLook.h"

namespace zov::gui {

namespace {

// The integer part as atoi reads it: leading blanks, a sign, digits; 0 when there are none.
int IntegerPart(const QString& text) {
    const long long value = std::strtoll(text.toUtf8().constData(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int CompareFolded(const QString& a, const QString& b) {
    const QByteArray left = a.toUtf8();
    const QByteArray right = b.toUtf8();
    const auto folded = [](char c) { return static_cast<unsigned char>(FoldAscii(c)); };
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (folded(left[i]) != folded(right[i])) return folded(left[i]) < folded(right[i]) ? -1 : 1;
    }
    return left.size() == right.size() ? 0 : left.size() < right.size() ? -1 : 1;
}

// Paints each cell as usual, then its right and bottom edge.
class GridLineDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(216, 216, 216));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

}  // namespace

bool IsNumericText(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace()) --end;
    if (end == 0) return false;
    qsizetype at = text[0] == '+' || text[0] == '-' ? 1 : 0;
    bool point = false;
    for (; at < end; ++at) {
        const QChar c = text[at];
        if (c == '.') {
            if (point) return false;
            point = true;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

CSortListCtrl::CSortListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSortingEnabled(false);
    SetListLook(*this, ItemLines::None);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { SortByColumn(column); });
}

bool CSortListCtrl::SortByColumn(int column) {
    if (column < 0 || column >= columnCount()) return false;
    if (lastAscending_.size() < columnCount()) lastAscending_.resize(columnCount(), false);
    const bool ascending = !lastAscending_[column];
    lastAscending_[column] = ascending;
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);

    QList<QTreeWidgetItem*> rows = invisibleRootItem()->takeChildren();
    const bool numeric = std::all_of(rows.begin(), rows.end(), [column](const QTreeWidgetItem* row) {
        const QString cell = row->text(column);
        return cell.isEmpty() || IsNumericText(cell);
    });
    const auto compare = [column, numeric](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        if (!numeric) return CompareFolded(a->text(column), b->text(column));
        const int left = IntegerPart(a->text(column));
        const int right = IntegerPart(b->text(column));
        return left == right ? 0 : left < right ? -1 : 1;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return ascending ? compare(a, b) < 0 : compare(b, a) < 0;
    });
    addTopLevelItems(rows);
    return ascending;
}

void CSortListCtrl::ShowGridLines() { setItemDelegate(new GridLineDelegate(this)); }

}  // namespace zov::gui

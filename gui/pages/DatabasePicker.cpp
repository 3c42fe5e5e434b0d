#include "gui/pages/DatabasePicker.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/widgets/ListLook.h"
#include "gui/widgets/MyButton.h"

namespace zov::gui {

namespace {

constexpr int kListWidth = 200;
constexpr int kListHeight = 150;
constexpr int kNameColumnWidth = 190;

QTreeWidget* AddList(QWidget& parent, const char* id, int x) {
    auto* list = new QTreeWidget(&parent);
    list->setObjectName(id);
    list->setGeometry(x, 22, kListWidth, kListHeight);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFont(PageFont(12));
    list->setHeaderLabels({"数据库名"});
    list->headerItem()->setTextAlignment(0, Qt::AlignCenter);
    list->setColumnWidth(0, kNameColumnWidth);
    SetListLook(*list, ItemLines::Rows);
    return list;
}

QTreeWidgetItem* Entry(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setTextAlignment(0, Qt::AlignCenter);
    return item;
}

QStringList Texts(const QTreeWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row) texts.append(list.topLevelItem(row)->text(0));
    return texts;
}

bool Holds(const QTreeWidget& list, const QString& text, Qt::CaseSensitivity sensitivity) {
    return Texts(list).contains(text, sensitivity);
}

// The chosen row's text, taken out of the list; "" without a chosen row.
QString TakeCurrent(QTreeWidget& list) {
    QTreeWidgetItem* current = list.currentItem();
    if (current == nullptr) return {};
    const QString text = current->text(0);
    delete current;
    return text;
}

}  // namespace

DatabasePicker::DatabasePicker(const DatabasePickerIds& ids, QWidget* parent) : QWidget(parent) {
    AddLabel(*this, "", "待选数据库：", 0, 0, 84, 20);
    availableCount_ = AddLabel(*this, ids.availableCount, "0", 84, 0, 40, 20);
    AddLabel(*this, "", "已选数据库：", 300, 0, 84, 20);
    selectedCount_ = AddLabel(*this, ids.selectedCount, "0", 384, 0, 40, 20);
    available_ = AddList(*this, ids.available, 0);
    selected_ = AddList(*this, ids.selected, 300);
    CMyButton* add = AddButton(*this, ids.add, ">", {210, 34, 80, 26});
    CMyButton* remove = AddButton(*this, ids.remove, "<", {210, 68, 80, 26});
    CMyButton* addAll = AddButton(*this, ids.addAll, ">>添加所有", {210, 102, 80, 26});
    CMyButton* clear = AddButton(*this, ids.clear, "<<清空已选", {210, 136, 80, 26});
    connect(add, &QPushButton::clicked, this, &DatabasePicker::AddDatabase);
    connect(remove, &QPushButton::clicked, this, &DatabasePicker::RemoveDatabase);
    connect(addAll, &QPushButton::clicked, this, &DatabasePicker::AddAllDatabases);
    connect(clear, &QPushButton::clicked, this, &DatabasePicker::ClearSelected);
    connect(available_, &QTreeWidget::itemDoubleClicked, this, &DatabasePicker::AddDatabase);
    connect(selected_, &QTreeWidget::itemDoubleClicked, this, &DatabasePicker::RemoveDatabase);
}

void DatabasePicker::UpdateCounts() {
    availableCount_->setText(QString::number(available_->topLevelItemCount()));
    selectedCount_->setText(QString::number(selected_->topLevelItemCount()));
}

void DatabasePicker::Clear() {
    all_ = false;
    available_->clear();
    selected_->clear();
    UpdateCounts();
}

void DatabasePicker::SetAvailable(const QStringList& names) {
    available_->clear();
    for (const QString& name : names) {
        if (!Holds(*selected_, name, Qt::CaseSensitive)) available_->addTopLevelItem(Entry(name));
    }
    if (!all_) available_->insertTopLevelItem(0, Entry(kAllEntry));
    UpdateCounts();
}

void DatabasePicker::SetChosen(const std::string& stored) {
    selected_->clear();
    all_ = stored == kAllStored;
    if (all_) {
        available_->clear();
        selected_->addTopLevelItem(Entry(kAllEntry));
    } else {
        for (const QString& name : QString::fromStdString(stored).split('|', Qt::SkipEmptyParts))
            selected_->addTopLevelItem(Entry(name));
    }
    UpdateCounts();
}

std::string DatabasePicker::Chosen() const {
    if (all_) return kAllStored;
    return Texts(*selected_).join('|').toStdString();
}

void DatabasePicker::ClearChosen() {
    all_ = false;
    selected_->clear();
    UpdateCounts();
}

void DatabasePicker::AddDatabase() {
    QTreeWidgetItem* current = available_->currentItem();
    if (all_ || current == nullptr || Holds(*selected_, current->text(0), Qt::CaseSensitive)) return;
    const QString text = TakeCurrent(*available_);
    if (text == kAllEntry) {
        available_->clear();
        selected_->clear();
        all_ = true;
    }
    selected_->insertTopLevelItem(0, Entry(text));
    UpdateCounts();
}

void DatabasePicker::RemoveDatabase() {
    const QString text = TakeCurrent(*selected_);
    if (text.isEmpty()) return;
    const bool all = text == kAllEntry;
    if (all) all_ = false;
    const bool back = !Holds(*available_, text, Qt::CaseSensitive);
    if (back) available_->insertTopLevelItem(all ? 0 : available_->topLevelItemCount(), Entry(text));
    UpdateCounts();
    if (all && back) emit relistRequested();
}

void DatabasePicker::AddAllDatabases() {
    if (all_) return;
    for (int row = available_->topLevelItemCount() - 1; row >= 0; --row) {
        const QString text = available_->topLevelItem(row)->text(0);
        if (text == kAllEntry) continue;
        delete available_->takeTopLevelItem(row);
        if (!Holds(*selected_, text, Qt::CaseInsensitive)) selected_->insertTopLevelItem(0, Entry(text));
    }
    UpdateCounts();
}

void DatabasePicker::ClearSelected() {
    const bool relist = all_ && selected_->topLevelItemCount() > 0;
    all_ = false;
    if (available_->topLevelItemCount() == 0) available_->addTopLevelItem(Entry(kAllEntry));
    for (const QString& text : relist ? QStringList() : Texts(*selected_)) {
        if (!Holds(*available_, text, Qt::CaseInsensitive)) available_->addTopLevelItem(Entry(text));
    }
    selected_->clear();
    UpdateCounts();
    if (relist) emit relistRequested();
}

}  // namespace zov::gui

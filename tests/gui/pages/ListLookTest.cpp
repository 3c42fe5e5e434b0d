#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "gui/pages/BackupLogDlg.h"
#include "gui/pages/DatabasePicker.h"
#include "gui/pages/FileBackupDlg.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/pages/FileLogView.h"
#include "gui/pages/MSSqlBackupDlg.h"
#include "gui/pages/MSSqlBackupListDlg.h"
#include "gui/pages/MSSqlBackupSetupDlg.h"
#include "gui/pages/MysqlBackupDlg.h"
#include "gui/pages/MysqlBackupListDlg.h"
#include "gui/pages/MysqlBackupSetupDlg.h"
#include "platform/Clock.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

using namespace zov::gui;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::TempProgramFolder;

namespace {

// A list of the program inside the widget that holds it.
struct ListUnderTest {
    std::unique_ptr<QWidget> holder;
    QAbstractItemView* list = nullptr;
};

using ListMaker = std::function<ListUnderTest(const TempProgramFolder&)>;

template <typename Page>
ListUnderTest TaskList() {
    auto page = std::make_unique<Page>(nullptr);
    QAbstractItemView* list = page->listPage()->template findChild<QTreeWidget*>();
    return {std::move(page), list};
}

template <typename Editor>
ListUnderTest PickerList() {
    auto editor = std::make_unique<Editor>(nullptr);
    QAbstractItemView* list = editor->template findChild<DatabasePicker*>()->availableList();
    return {std::move(editor), list};
}

// A file log view of one real day-log line.
ListUnderTest LogList(const TempProgramFolder& folder) {
    const std::time_t now = zov::Now();
    const std::string day = folder / ("Log/Files/" + zov::FormatLocalTime(now, "%Y-%m-%d") + ".log");
    std::filesystem::create_directories(std::filesystem::path(day).parent_path());
    std::ofstream(day, std::ios::binary) << "文件日志\t" << zov::FormatLocalTime(now, "%Y-%m-%d %H:%M:%S")
                                         << "\t3\tdocs\t普通\t/srv/docs\t/bak/docs\t1时2分5秒\t成功\t\n";
    auto view = std::make_unique<CBackupLogDlg>(FileLogViewConfig(), nullptr);
    view->Load();
    QAbstractItemView* list = view->list();
    return {std::move(view), list};
}

// Selects the list's first row, adding one to a tree list; the index of a cell of that row with text.
QModelIndex SelectARow(QAbstractItemView& list) {
    if (auto* tree = qobject_cast<QTreeWidget*>(&list)) {
        QStringList cells;
        for (int column = 0; column < tree->columnCount(); ++column) cells.append("docs");
        tree->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    QAbstractItemModel& model = *list.model();
    list.setCurrentIndex(model.index(0, 0));
    list.selectionModel()->select(model.index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (int column = model.columnCount() - 1; column >= 0; --column) {
        const QModelIndex cell = model.index(0, column);
        if (!model.data(cell).toString().isEmpty() && !list.visualRect(cell).isEmpty()) return cell;
    }
    return {};
}

double Luminance(QColor color) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

double Contrast(QColor a, QColor b) {
    const double first = Luminance(a);
    const double second = Luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The contrast of the cell's text against the cell's background, from the painted pixels: the background
// is the commonest colour of the cell, the text its pixel farthest from it.
double TextContrast(QAbstractItemView& list, const QModelIndex& cell) {
    const QImage image = list.viewport()->grab().toImage();
    const QRect inside = list.visualRect(cell).adjusted(2, 2, -2, -2) & image.rect();
    QHash<QRgb, int> counts;
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto at = counts.cbegin(); at != counts.cend(); ++at) {
        if (at.value() > most) {
            most = at.value();
            background = at.key();
        }
    }
    double best = 1;
    for (auto at = counts.cbegin(); at != counts.cend(); ++at)
        best = std::max(best, Contrast(QColor(background), QColor(at.key())));
    return best;
}

void AddListRows() {
    QTest::addColumn<ListMaker>("make");
    QTest::newRow("file tasks") << ListMaker(
        [](const TempProgramFolder&) { return TaskList<CFileBackupDlg>(); });
    QTest::newRow("SQL Server tasks")
        << ListMaker([](const TempProgramFolder&) { return TaskList<CMSSqlBackupDlg>(); });
    QTest::newRow("MySQL tasks") << ListMaker(
        [](const TempProgramFolder&) { return TaskList<CMysqlBackupDlg>(); });
}

}  // namespace

Q_DECLARE_METATYPE(ListMaker)

class ListLookTest : public QObject {
    Q_OBJECT

  private slots:
    void ASelectedRowIsReadable_data() {
        AddListRows();
        QTest::newRow("SQL Server editor's databases")
            << ListMaker([](const TempProgramFolder&) { return PickerList<CMSSqlBackupSetupDlg>(); });
        QTest::newRow("MySQL editor's databases")
            << ListMaker([](const TempProgramFolder&) { return PickerList<CMysqlBackupSetupDlg>(); });
        QTest::newRow("log") << ListMaker(LogList);
    }
    void ASelectedRowIsReadable() {
        QFETCH(ListMaker, make);
        TempProgramFolder folder;
        RecordingPrompter prompter;
        ListUnderTest made = make(folder);
        QVERIFY(made.list != nullptr);
        QWidget window;
        QWidget* holder = made.holder.release();
        holder->setParent(&window);
        holder->move(0, 0);
        auto* elsewhere = new QLineEdit(&window);
        elsewhere->move(0, holder->height());
        window.resize(holder->width(), holder->height() + elsewhere->sizeHint().height());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QAbstractItemView& list = *made.list;
        const QModelIndex cell = SelectARow(list);
        QVERIFY(cell.isValid());

        list.setFocus();
        QTRY_VERIFY(list.hasFocus());
        SaveScreenshot(window, QString("selected-row-%1").arg(QTest::currentDataTag()));
        const double focused = TextContrast(list, cell);
        elsewhere->setFocus();
        QTRY_VERIFY(elsewhere->hasFocus());
        const double unfocused = TextContrast(list, cell);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        const double inactive = TextContrast(list, cell);

        QVERIFY2(focused >= 4.5, qPrintable(QString::number(focused)));
        QVERIFY2(unfocused >= 4.5, qPrintable(QString::number(unfocused)));
        QVERIFY2(inactive >= 4.5, qPrintable(QString::number(inactive)));
    }

    void EveryHeaderTextFitsItsColumn_data() { AddListRows(); }
    void EveryHeaderTextFitsItsColumn() {
        QFETCH(ListMaker, make);
        TempProgramFolder folder;
        RecordingPrompter prompter;
        ListUnderTest made = make(folder);
        made.holder->show();
        QVERIFY(QTest::qWaitForWindowExposed(made.holder.get()));
        QHeaderView& header = *static_cast<QTreeWidget*>(made.list)->header();
        const int margins = 2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
        QAbstractItemModel& model = *header.model();
        for (int column = 0; column < header.count(); ++column) {
            const QString text = model.headerData(column, Qt::Horizontal).toString();
            const int needed = header.fontMetrics().horizontalAdvance(text) + margins;
            QVERIFY2(
                header.sectionSize(column) >= needed,
                qPrintable(QString("%1: %2 < %3").arg(text).arg(header.sectionSize(column)).arg(needed)));
        }
        // Every column in view: the widths fit the list.
        QVERIFY2(header.length() <= made.list->viewport()->width(),
                 qPrintable(QString("%1 > %2").arg(header.length()).arg(made.list->viewport()->width())));
    }
};

QTEST_MAIN(ListLookTest)
#include "ListLookTest.moc"

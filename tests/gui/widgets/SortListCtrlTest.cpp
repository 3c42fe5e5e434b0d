#include <QHeaderView>
#include <QTest>

#include "gui/widgets/SortListCtrl.h"
#include "support/GuiTestSupport.h"

using zov::gui::CSortListCtrl;

namespace {

// A list of the given column texts; each row's data is its row number before any sort.
void Fill(CSortListCtrl& list, const QList<QStringList>& rows) {
    list.setColumnCount(rows.isEmpty() ? 1 : int(rows.first().size()));
    for (int i = 0; i < rows.size(); ++i) {
        auto* item = new QTreeWidgetItem(rows[i]);
        item->setData(0, Qt::UserRole, i);
        list.addTopLevelItem(item);
    }
}

QStringList Column(const CSortListCtrl& list, int column) {
    QStringList texts;
    for (int i = 0; i < list.topLevelItemCount(); ++i) texts << list.topLevelItem(i)->text(column);
    return texts;
}

void ClickHeader(CSortListCtrl& list, int column) {
    QHeaderView* header = list.header();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
}

}  // namespace

class SortListCtrlTest : public QObject {
    Q_OBJECT

  private slots:
    void NumericText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("digits") << "10" << true;
        QTest::newRow("minus") << "-5" << true;
        QTest::newRow("plus") << "+3" << true;
        QTest::newRow("decimal") << "1.25" << true;
        QTest::newRow("trailing blanks") << "7  " << true;
        QTest::newRow("only a sign") << "-" << true;
        QTest::newRow("only a point") << "." << true;
        QTest::newRow("two points") << "1.2.3" << false;
        QTest::newRow("leading blank") << " 7" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blanks") << "   " << false;
        QTest::newRow("letters") << "12a" << false;
        QTest::newRow("two signs") << "+-1" << false;
    }
    void NumericText() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(zov::gui::IsNumericText(text), numeric);
    }

    void HeaderClicksSortTheRows_data() {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("shownColumn");
        QTest::addColumn<QStringList>("expected");
        const QList<QStringList> numbers = {{"10", "b"}, {"9", "a"}, {"", "c"}};
        QTest::newRow("numbers ascending, empty as 0")
            << numbers << QList<int>{0} << 0 << QStringList{"", "9", "10"};
        QTest::newRow("numbers descending") << numbers << QList<int>{0, 0} << 0 << QStringList{"10", "9", ""};
        QTest::newRow("third click ascending again")
            << numbers << QList<int>{0, 0, 0} << 0 << QStringList{"", "9", "10"};
        QTest::newRow("signs are numbers") << QList<QStringList>{{"+3"}, {"-5"}, {"2"}} << QList<int>{0} << 0
                                           << QStringList{"-5", "2", "+3"};
        QTest::newRow("only the integer part counts")
            << QList<QStringList>{{"1.9"}, {"1.2"}, {"0.5"}} << QList<int>{0} << 0
            << QStringList{"0.5", "1.9", "1.2"};
        QTest::newRow("a non-number makes it text") << QList<QStringList>{{"10"}, {"9"}, {"1.2.3"}}
                                                    << QList<int>{0} << 0 << QStringList{"1.2.3", "10", "9"};
        QTest::newRow("a leading blank makes it text") << QList<QStringList>{{"8"}, {" 7"}, {"10"}}
                                                       << QList<int>{0} << 0 << QStringList{" 7", "10", "8"};
        QTest::newRow("text ignores case") << QList<QStringList>{{"ABD"}, {"abc"}, {"Abe"}} << QList<int>{0}
                                           << 0 << QStringList{"abc", "ABD", "Abe"};
        QTest::newRow("text descending") << QList<QStringList>{{"ABD"}, {"abc"}, {"Abe"}} << QList<int>{0, 0}
                                         << 0 << QStringList{"Abe", "ABD", "abc"};
        QTest::newRow("each column keeps its direction")
            << numbers << QList<int>{0, 1, 0} << 0 << QStringList{"10", "9", ""};
        QTest::newRow("other column sorts from its own start")
            << numbers << QList<int>{0, 0, 1} << 1 << QStringList{"a", "b", "c"};
        QTest::newRow("Chinese names") << QList<QStringList>{{"备份"}, {"a任务"}, {"任务"}} << QList<int>{0}
                                       << 0 << QStringList{"a任务", "任务", "备份"};
    }
    void HeaderClicksSortTheRows() {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QList<int>, clicks);
        QFETCH(int, shownColumn);
        QFETCH(QStringList, expected);
        CSortListCtrl list;
        list.resize(300, 200);
        Fill(list, rows);
        list.show();
        for (int column : clicks) ClickHeader(list, column);
        QCOMPARE(Column(list, shownColumn), expected);
        QVERIFY(list.header()->isSortIndicatorShown());
        QCOMPARE(list.header()->sortIndicatorSection(), clicks.last());
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list.topLevelItem(i);
            const int original = item->data(0, Qt::UserRole).toInt();
            QCOMPARE(item->text(0), rows[original][0]);
        }
    }

    void TheArrowShowsTheDirection() {
        CSortListCtrl list;
        Fill(list, {{"2", "x"}, {"1", "y"}});
        list.setHeaderLabels({"序号", "数据库名"});
        QVERIFY(list.SortByColumn(1));
        QCOMPARE(list.header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QVERIFY(!list.SortByColumn(1));
        QCOMPARE(list.header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(list.header()->sortIndicatorSection(), 1);
        QVERIFY(!list.SortByColumn(5));
        zov::gui::test::SaveScreenshot(list, "sort-list");
    }
};

QTEST_MAIN(SortListCtrlTest)
#include "SortListCtrlTest.moc"

#include <QTest>

#include "gui/widgets/Resources.h"

class ResourcesTest : public QObject {
    Q_OBJECT

  private slots:
    void BitmapsHaveTheirSizes_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::newRow("main window background") << 146 << QSize(700, 500);
        QTest::newRow("tab normal") << 187 << QSize(96, 28);
        QTest::newRow("tab hover") << 188 << QSize(96, 28);
        QTest::newRow("tab pressed") << 190 << QSize(96, 28);
        QTest::newRow("splash") << 207 << QSize(420, 260);
    }
    void BitmapsHaveTheirSizes() {
        QFETCH(int, id);
        QFETCH(QSize, size);
        QCOMPARE(zov::gui::LoadBitmap(id).size(), size);
    }

    void IconsAreThere_data() {
        QTest::addColumn<int>("id");
        for (int id : {137, 182, 183, 184, 185, 191, 192, 202})
            QTest::newRow(qPrintable(QString::number(id))) << id;
    }
    void IconsAreThere() {
        QFETCH(int, id);
        const QIcon icon = zov::gui::LoadIcon(id);
        QVERIFY(!icon.isNull());
        QVERIFY(!icon.pixmap(32, 32).isNull());
    }

    void UnknownNumbersGiveNothing() {
        QVERIFY(zov::gui::LoadBitmap(182).isNull());
        QVERIFY(zov::gui::LoadIcon(146).isNull());
        QVERIFY(zov::gui::LoadIcon(0).isNull());
    }
};

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"

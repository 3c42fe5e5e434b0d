#include <QTest>

#include "gui/widgets/ColorRef.h"

class ColorRefTest : public QObject {
    Q_OBJECT

  private slots:
    void ReadsBlueGreenRed_data() {
        QTest::addColumn<uint>("bgr");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("red") << 0x0000FFu << QColor(255, 0, 0);
        QTest::newRow("blue") << 0xFF0000u << QColor(0, 0, 255);
        QTest::newRow("green tab text") << 0x008B00u << QColor(0, 139, 0);
        QTest::newRow("mixed") << 0x00A4AE83u << QColor(131, 174, 164);
        QTest::newRow("high byte ignored") << 0xFF000000u << QColor(0, 0, 0);
    }
    void ReadsBlueGreenRed() {
        QFETCH(uint, bgr);
        QFETCH(QColor, expected);
        QCOMPARE(zov::gui::ColorFromRef(bgr), expected);
    }
};

QTEST_GUILESS_MAIN(ColorRefTest)
#include "ColorRefTest.moc"

#include <QLabel>
#include <QTest>

#include "gui/widgets/BitButtonNL.h"
#include "gui/widgets/ButtonST.h"
#include "gui/widgets/ColorRef.h"
#include "gui/widgets/Resources.h"
#include "support/GuiTestSupport.h"

using zov::gui::CBitButtonNL;
using zov::gui::CButtonST;

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

    // The tab column of the main window and a sub-page's tabs drawn from the resources, for review.
    void SheetOfTheResources() {
        QWidget sheet;
        sheet.resize(700, 500);
        auto* background = new QLabel(&sheet);
        background->setPixmap(zov::gui::LoadBitmap(146));
        background->setGeometry(0, 0, 700, 500);
        const struct {
            int icon;
            const char* caption;
        } tabs[] = {{202, "系统设置"},  {183, "文件备份"}, {184, " MSSQL备份"},
                    {185, "MySQL备份"}, {191, "关于我们"}, {192, "使用帮助"}};
        int y = 70;
        for (const auto& tab : tabs) {
            auto* button = new CButtonST(tab.caption, &sheet);
            button->SetIcon(tab.icon);
            button->SetDrawBorder(false);
            button->SetTransparent();
            button->setGeometry(6, y, 120, 48);
            y += 56;
        }
        const char* captions[] = {"任务列表", "备份日志"};
        for (int i = 0; i < 2; ++i) {
            auto* tab = new CBitButtonNL(captions[i], &sheet);
            QVERIFY(tab->LoadBitmaps(187, 190, 188));
            tab->SetShowText(true);
            const QColor red = zov::gui::ColorFromRef(0x0000FF);
            if (i == 0) {
                tab->SetTextColors(red, red, red);
            } else {
                tab->SetTextColors(Qt::black, red, red);
            }
            tab->move(154 + i * 100, 74);
        }
        auto* splash = new QLabel(&sheet);
        splash->setPixmap(zov::gui::LoadBitmap(207).scaled(210, 130));
        splash->setGeometry(470, 340, 210, 130);
        int x = 200;
        for (int id : {137, 182}) {
            auto* icon = new QLabel(&sheet);
            icon->setPixmap(zov::gui::LoadIcon(id).pixmap(32, 32));
            icon->setGeometry(x, 200, 32, 32);
            x += 40;
        }
        zov::gui::test::SaveScreenshot(sheet, "resources-sheet");
    }

    void UnknownNumbersGiveNothing() {
        QVERIFY(zov::gui::LoadBitmap(182).isNull());
        QVERIFY(zov::gui::LoadIcon(146).isNull());
        QVERIFY(zov::gui::LoadIcon(0).isNull());
    }
};

QTEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"

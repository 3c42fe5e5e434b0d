#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include "gui/widgets/BitButtonNL.h"
#include "gui/widgets/ButtonST.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "support/GuiTestSupport.h"

using zov::gui::CBitButtonNL;
using zov::gui::CButtonST;
using zov::gui::CMyButton;

namespace {

const QColor kMarker(0, 0, 255);

// A solid picture with one marker pixel at (2, 2).
QPixmap Picture(const QColor& colour, QSize size = {40, 20}) {
    QPixmap picture(size);
    picture.fill(colour);
    QPainter painter(&picture);
    painter.setPen(kMarker);
    painter.drawPoint(2, 2);
    return picture;
}

void Enter(QWidget& widget) {
    QEnterEvent enter(QPointF(5, 5), widget.mapToGlobal(QPointF(5, 5)), widget.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&widget, &leave);
}

QColor PixelAt(QWidget& widget, QPoint point) { return widget.grab().toImage().pixelColor(point); }

bool IsGrey(const QColor& colour) {
    return colour.red() == colour.green() && colour.green() == colour.blue();
}

int CountPixels(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour ? 1 : 0;
    }
    return count;
}

}  // namespace

class ButtonsTest : public QObject {
    Q_OBJECT

  private slots:
    void BitButtonDrawsTheBitmapOfItsState_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("allBitmaps");
        QTest::addColumn<QPoint>("probe");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("normal") << "normal" << true << QPoint(2, 2) << kMarker;
        QTest::newRow("hover") << "hover" << true << QPoint(10, 10) << QColor(Qt::green);
        QTest::newRow("pressed") << "pressed" << true << QPoint(10, 10) << QColor(Qt::yellow);
        QTest::newRow("pressed, normal shifted") << "pressed" << false << QPoint(3, 3) << kMarker;
        QTest::newRow("disabled") << "disabled" << true << QPoint(10, 10) << QColor(Qt::magenta);
        QTest::newRow("hover without hover bitmap") << "hover" << false << QPoint(2, 2) << kMarker;
    }
    void BitButtonDrawsTheBitmapOfItsState() {
        QFETCH(QString, state);
        QFETCH(bool, allBitmaps);
        QFETCH(QPoint, probe);
        QFETCH(QColor, expected);
        CBitButtonNL button;
        if (allBitmaps) {
            QVERIFY(button.SetBitmaps(Picture(Qt::red), Picture(Qt::yellow), Picture(Qt::green),
                                      Picture(Qt::magenta)));
        } else {
            QVERIFY(button.SetBitmaps(Picture(Qt::red)));
        }
        QCOMPARE(button.size(), QSize(40, 20));
        if (state == "hover") Enter(button);
        if (state == "pressed") button.setDown(true);
        if (state == "disabled") button.setEnabled(false);
        QCOMPARE(PixelAt(button, probe), expected);
    }

    void BitButtonWithoutDisabledBitmapIsGreyWhenDisabled() {
        CBitButtonNL button;
        QVERIFY(button.SetBitmaps(Picture(Qt::red)));
        button.setEnabled(false);
        const QColor seen = PixelAt(button, {10, 10});
        QVERIFY2(IsGrey(seen), qPrintable(seen.name()));
    }

    void BitButtonNeedsANormalBitmap() {
        CBitButtonNL button;
        QVERIFY(!button.SetBitmaps(QPixmap(), Picture(Qt::yellow)));
        QVERIFY(!button.LoadBitmaps(9999));
        QVERIFY(button.LoadBitmaps(187, 190, 188));
        QCOMPARE(button.size(), zov::gui::LoadBitmap(187).size());
    }

    void BitButtonCaptionTakesTheColourOfItsState() {
        CBitButtonNL button("系统设置");
        QVERIFY(button.SetBitmaps(Picture(Qt::white, {96, 28})));
        button.SetTextColors(Qt::black, Qt::red, Qt::red);
        QCOMPARE(CountPixels(button.grab().toImage(), Qt::black), 0);
        button.SetShowText(true);
        QVERIFY(CountPixels(button.grab().toImage(), Qt::black) > 0);
        QCOMPARE(CountPixels(button.grab().toImage(), Qt::red), 0);
        Enter(button);
        QVERIFY(button.IsHovered());
        QVERIFY(CountPixels(button.grab().toImage(), Qt::red) > 0);
        Leave(button);
        QVERIFY(!button.IsHovered());
        zov::gui::test::SaveScreenshot(button, "bit-button");
    }

    void ButtonStShowsItsIcons_data() {
        QTest::addColumn<int>("outKind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QColor>("expected");
        const QColor in(200, 40, 40);
        const int grey = static_cast<int>(0.299 * 200 + 0.587 * 40 + 0.114 * 40);
        QTest::newRow("in only, at rest") << CButtonST::kOutNone << "rest" << in;
        QTest::newRow("in only, mouse on") << CButtonST::kOutNone << "mouse" << in;
        QTest::newRow("in only, pressed") << CButtonST::kOutNone << "pressed" << in;
        QTest::newRow("grey out, at rest") << CButtonST::kOutGrey << "rest" << QColor(grey, grey, grey);
        QTest::newRow("grey out, mouse on") << CButtonST::kOutGrey << "mouse" << in;
        QTest::newRow("darker out, at rest") << CButtonST::kOutDarker << "rest" << QColor(150, 30, 30);
        QTest::newRow("darker out, pressed") << CButtonST::kOutDarker << "pressed" << in;
    }
    void ButtonStShowsItsIcons() {
        QFETCH(int, outKind);
        QFETCH(QString, state);
        QFETCH(QColor, expected);
        QPixmap in(16, 16);
        in.fill(QColor(200, 40, 40));
        CButtonST button;
        button.resize(40, 40);
        const QPixmap out = outKind == CButtonST::kOutGrey     ? zov::gui::GreyCopy(in)
                            : outKind == CButtonST::kOutDarker ? zov::gui::DarkerCopy(in)
                                                               : QPixmap();
        QCOMPARE(button.SetIconPixmaps(in, out), 0);
        if (state == "mouse") Enter(button);
        if (state == "pressed") button.setDown(true);
        QCOMPARE(PixelAt(button, {20, 20}), expected);
    }

    void ButtonStPressedStyleMovesThePicture_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("result");
        QTest::addColumn<QPoint>("shift");
        QTest::newRow("style 0") << 0 << 0 << QPoint(1, 1);
        QTest::newRow("style 1") << 1 << 0 << QPoint(0, 2);
        QTest::newRow("style 2 refused") << 2 << 6 << QPoint(1, 1);
    }
    void ButtonStPressedStyleMovesThePicture() {
        QFETCH(int, style);
        QFETCH(int, result);
        QFETCH(QPoint, shift);
        QPixmap in(10, 10);
        in.fill(Qt::red);
        CButtonST button;
        button.resize(30, 30);
        button.SetIconPixmaps(in);
        QCOMPARE(button.SetPressedStyle(style), result);
        button.setDown(true);
        const QImage image = button.grab().toImage();
        QCOMPARE(image.pixelColor(QPoint(10, 10) + shift), QColor(Qt::red));
        QVERIFY(image.pixelColor(QPoint(9, 9) + shift) != QColor(Qt::red));
    }

    void FlatButtonStFramesOnlyWithBorder_data() {
        QTest::addColumn<bool>("border");
        QTest::addColumn<bool>("mouseOn");
        QTest::addColumn<bool>("framed");
        QTest::newRow("no border, rest") << false << false << false;
        QTest::newRow("no border, mouse on") << false << true << false;
        QTest::newRow("border, rest") << true << false << false;
        QTest::newRow("border, mouse on") << true << true << true;
    }
    void FlatButtonStFramesOnlyWithBorder() {
        QFETCH(bool, border);
        QFETCH(bool, mouseOn);
        QFETCH(bool, framed);
        QWidget parent;
        parent.resize(100, 60);
        QPalette background;
        background.setColor(QPalette::Window, QColor(10, 120, 90));
        parent.setPalette(background);
        parent.setAutoFillBackground(true);
        auto* button = new CButtonST("文件备份", &parent);
        button->setGeometry(10, 10, 80, 40);
        button->SetTransparent();
        button->SetDrawBorder(border);
        if (mouseOn) Enter(*button);
        QCOMPARE(button->IsMouseOn(), mouseOn);
        const QImage image = parent.grab().toImage();
        QCOMPARE(image.pixelColor(10, 30) != QColor(10, 120, 90), framed);
        QCOMPARE(image.pixelColor(89, 30) != QColor(10, 120, 90), framed);
        zov::gui::test::SaveScreenshot(parent, QString("button-st-%1").arg(QTest::currentDataTag()));
    }

    void ButtonStMouseOnEndsWithLeaveAndDisable() {
        CButtonST button("MySQL备份");
        button.resize(80, 40);
        Enter(button);
        QVERIFY(button.IsMouseOn());
        Leave(button);
        QVERIFY(!button.IsMouseOn());
        Enter(button);
        button.setEnabled(false);
        QVERIFY(!button.IsMouseOn());
    }

    void ButtonStShowsItsMenuOnlyWhenItHasItems() {
        CButtonST button("菜单");
        button.resize(80, 30);
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);

        QAction* chosen = button.Menu().addAction("打开程序目录");
        bool triggered = false;
        connect(chosen, &QAction::triggered, this, [&triggered] { triggered = true; });
        bool shown = false;
        QTimer::singleShot(0, this, [&shown] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            shown = menu != nullptr;
            if (menu == nullptr) return;
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(shown);
        QTRY_VERIFY_WITH_TIMEOUT(triggered, 5000);
    }

    void MyButtonFillsEveryRowDarkerDownwards_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wide") << QSize(90, 26);
        QTest::newRow("taller than wide") << QSize(24, 300);
    }
    void MyButtonFillsEveryRowDarkerDownwards() {
        QFETCH(QSize, size);
        CMyButton button;
        button.resize(size);
        const QImage image = button.grab().toImage();
        const int x = 4;
        const int innerHeight = size.height() - 4;
        for (int row = 0; row < innerHeight; ++row) {
            const QColor expected =
                CMyButton::BandColour(CMyButton::BandOfRow(row, innerHeight), false, false);
            if (row > 3 && row < innerHeight - 3) QCOMPARE(image.pixelColor(x + 4, row + 2), expected);
        }
        QCOMPARE(CMyButton::BandOfRow(innerHeight, innerHeight), 63);
        zov::gui::test::SaveScreenshot(button, QString("my-button-%1").arg(QTest::currentDataTag()));
    }

    void MyButtonColoursFollowHoverAndFocus_data() {
        QTest::addColumn<int>("band");
        QTest::addColumn<bool>("hover");
        QTest::addColumn<bool>("pressedLook");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("top") << 0 << false << false << QColor(255, 255, 255);
        QTest::newRow("bottom, at rest") << 63 << false << false << QColor(234, 234, 243);
        QTest::newRow("bottom, focused") << 63 << false << true << QColor(234, 234, 240);
        QTest::newRow("bottom, hover") << 63 << true << false << QColor(240, 240, 243);
        QTest::newRow("bottom, hover focused") << 63 << true << true << QColor(240, 240, 234);
    }
    void MyButtonColoursFollowHoverAndFocus() {
        QFETCH(int, band);
        QFETCH(bool, hover);
        QFETCH(bool, pressedLook);
        QFETCH(QColor, expected);
        QCOMPARE(CMyButton::BandColour(band, hover, pressedLook), expected);
    }

    void MyButtonLightsUpUnderTheMouse() {
        CMyButton button("确认");
        button.resize(80, 26);
        const QImage rest = button.grab().toImage();
        Enter(button);
        QVERIFY(button.IsHovered());
        QVERIFY(button.grab().toImage() != rest);
        Leave(button);
        QVERIFY(!button.IsHovered());
        QCOMPARE(button.grab().toImage(), rest);
    }
};

QTEST_MAIN(ButtonsTest)
#include "ButtonsTest.moc"

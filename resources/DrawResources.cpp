// Draws the management program's images and icons into the given folder as PNG files.
// Usage: zov_draw_resources <folder>   (the build's copy: build/bin/zov_draw_resources resources/images)
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

// The program's palette: the splash's progress colour, a darker teal, the page frame colour.
const QColor kTeal(131, 174, 164);
const QColor kDarkTeal(40, 92, 84);
const QColor kPale(236, 243, 241);
const QColor kFrame(202, 209, 201);
const QColor kRed(255, 0, 0);
const QColor kFolder(236, 184, 72);
const QColor kSqlServer(196, 48, 44);
const QColor kMySql(34, 102, 168);

QImage Canvas(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + "/" + name + ".png";
    if (!image.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The program's mark: a tray with an arrow going down into it, white on a teal tile.
void DrawMark(QPainter& p, const QRectF& tile) {
    const qreal s = tile.width();
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kDarkTeal);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(tile, s * 0.2, s * 0.2);
    p.setPen(QPen(Qt::white, s * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const qreal x = tile.left(), y = tile.top();
    QPainterPath tray;
    tray.moveTo(x + s * 0.2, y + s * 0.55);
    tray.lineTo(x + s * 0.2, y + s * 0.78);
    tray.lineTo(x + s * 0.8, y + s * 0.78);
    tray.lineTo(x + s * 0.8, y + s * 0.55);
    p.drawPath(tray);
    p.drawLine(QPointF(x + s * 0.5, y + s * 0.18), QPointF(x + s * 0.5, y + s * 0.6));
    QPainterPath head;
    head.moveTo(x + s * 0.33, y + s * 0.45);
    head.lineTo(x + s * 0.5, y + s * 0.62);
    head.lineTo(x + s * 0.67, y + s * 0.45);
    p.drawPath(head);
}

QImage MarkIcon(int size) {
    QImage image = Canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawMark(p, QRectF(1, 1, size - 2, size - 2));
    return image;
}

// A cog of eight teeth.
QImage SettingsIcon() {
    QImage image = Canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(24, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkTeal);
    for (int tooth = 0; tooth < 8; ++tooth) {
        p.drawRoundedRect(QRectF(-4.5, -21, 9, 12), 2, 2);
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 15, 15);
    p.setBrush(kTeal);
    p.drawEllipse(QPointF(0, 0), 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), 5, 5);
    return image;
}

QImage FolderIcon() {
    QImage image = Canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kFolder.darker(150), 1.5));
    p.setBrush(kFolder.darker(115));
    QPainterPath back;
    back.moveTo(4, 12);
    back.lineTo(18, 12);
    back.lineTo(22, 16);
    back.lineTo(44, 16);
    back.lineTo(44, 40);
    back.lineTo(4, 40);
    back.closeSubpath();
    p.drawPath(back);
    QLinearGradient front(0, 20, 0, 40);
    front.setColorAt(0, kFolder.lighter(125));
    front.setColorAt(1, kFolder);
    p.setBrush(front);
    p.drawRoundedRect(QRectF(4, 20, 40, 20), 2, 2);
    p.setPen(QPen(kDarkTeal, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12, 30), QPointF(36, 30));
    return image;
}

// The folder with a round arrow turning back over it: a restore.
QImage RestoreIcon() {
    QImage image = FolderIcon();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(15, 4, 26, 26), 200 * 16, 250 * 16);
    p.setPen(QPen(kDarkTeal, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(15, 4, 26, 26), 200 * 16, 250 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkTeal);
    QPainterPath head;
    head.moveTo(10, 14);
    head.lineTo(22, 14);
    head.lineTo(15, 24);
    head.closeSubpath();
    p.drawPath(head);
    return image;
}

// A stack of three disks in the given colour: a database.
QImage DatabaseIcon(const QColor& colour) {
    QImage image = Canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(160), 1.5));
    for (int layer = 2; layer >= 0; --layer) {
        const qreal top = 8 + layer * 11;
        QLinearGradient side(8, 0, 40, 0);
        side.setColorAt(0, colour.lighter(130));
        side.setColorAt(1, colour.darker(120));
        p.setBrush(side);
        QPainterPath body;
        body.moveTo(8, top + 5);
        body.lineTo(8, top + 14);
        body.arcTo(QRectF(8, top + 9, 32, 10), 180, 180);
        body.lineTo(40, top + 5);
        body.closeSubpath();
        p.drawPath(body);
        p.setBrush(colour.lighter(150));
        p.drawEllipse(QRectF(8, top, 32, 10));
    }
    return image;
}

// A round badge with one white sign ("i", "?").
QImage BadgeIcon(const QString& sign) {
    QImage image = Canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient fill(QPointF(18, 16), 30);
    fill.setColorAt(0, kTeal.lighter(115));
    fill.setColorAt(1, kDarkTeal);
    p.setPen(QPen(kDarkTeal.darker(130), 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(3, 3, 42, 42));
    QFont font("DejaVu Sans");
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 42, 42), Qt::AlignCenter, sign);
    return image;
}

// A tab of the sub-pages: rounded top corners, a vertical gradient between the two colours.
QImage TabBitmap(const QColor& top, const QColor& bottom, const QColor& border) {
    QImage image(96, 28, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 28);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath tab;
    tab.moveTo(0.5, 27.5);
    tab.lineTo(0.5, 6);
    tab.quadTo(0.5, 0.5, 6, 0.5);
    tab.lineTo(90, 0.5);
    tab.quadTo(95.5, 0.5, 95.5, 6);
    tab.lineTo(95.5, 27.5);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawPath(tab);
    return image;
}

// The main window: a dark teal title band, a pale tab column on the left, a light page area and a banner
// line at the bottom.
QImage MainBackground() {
    QImage image(700, 500, QImage::Format_RGB32);
    image.fill(QColor(246, 249, 248));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 0, 60);
    band.setColorAt(0, kDarkTeal);
    band.setColorAt(1, kTeal);
    p.fillRect(QRect(0, 0, 700, 60), band);
    p.fillRect(QRect(0, 60, 700, 2), kRed.darker(140));
    DrawMark(p, QRectF(14, 10, 40, 40));
    QFont font("DejaVu Sans");
    font.setPixelSize(24);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(64, 10, 300, 40), Qt::AlignVCenter | Qt::AlignLeft, "Stowmeran");
    QLinearGradient column(0, 0, 130, 0);
    column.setColorAt(0, QColor(214, 230, 225));
    column.setColorAt(1, kPale);
    p.fillRect(QRect(0, 62, 130, 412), column);
    p.fillRect(QRect(130, 62, 1, 412), kFrame);
    p.fillRect(QRect(0, 474, 700, 26), kPale);
    p.fillRect(QRect(0, 474, 700, 1), kFrame);
    return image;
}

// The start-up splash: teal, the mark and the product name, room for the status line and progress bar.
QImage SplashBitmap() {
    QImage image(420, 260, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 420, 260);
    fill.setColorAt(0, kTeal);
    fill.setColorAt(1, kDarkTeal);
    p.fillRect(image.rect(), fill);
    p.setPen(QPen(QColor(255, 255, 255, 40), 28));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(380, 30), 120, 120);
    DrawMark(p, QRectF(40, 60, 72, 72));
    QFont font("DejaVu Sans");
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(128, 60, 280, 72), Qt::AlignVCenter | Qt::AlignLeft, "Stowmeran");
    p.fillRect(QRect(40, 150, 340, 1), QColor(255, 255, 255, 120));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    Save(MainBackground(), folder, "bitmap-146");
    Save(TabBitmap(Qt::white, QColor(214, 230, 225), kTeal), folder, "bitmap-187");
    Save(TabBitmap(Qt::white, QColor(236, 246, 243), kDarkTeal), folder, "bitmap-188");
    Save(TabBitmap(QColor(196, 220, 212), kTeal, kDarkTeal), folder, "bitmap-190");
    Save(SplashBitmap(), folder, "bitmap-207");
    Save(MarkIcon(32), folder, "icon-137");
    Save(MarkIcon(48), folder, "icon-182");
    Save(FolderIcon(), folder, "icon-183");
    Save(DatabaseIcon(kSqlServer), folder, "icon-184");
    Save(DatabaseIcon(kMySql), folder, "icon-185");
    Save(BadgeIcon("i"), folder, "icon-191");
    Save(BadgeIcon("?"), folder, "icon-192");
    Save(SettingsIcon(), folder, "icon-202");
    Save(RestoreIcon(), folder, "icon-220");
    return 0;
}

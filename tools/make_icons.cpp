// Draws the program's pictures (status icons, application icon, about-box logo)
// into PNG files. The output is committed under src/ui/resources/; run this only
// to change a picture:
//   QT_QPA_PLATFORM=offscreen build/tools/kv60x_make_icons src/ui/resources
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <cstdio>

namespace {

const QColor kGround(200, 200, 200);

QImage Canvas(int w, int h, const QColor& fill) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

// A speech bubble with a blue "i".
QImage Information() {
    QImage img = Canvas(24, 24, kGround);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 1.5, 21, 16), 5, 5);
    QPainterPath tail;
    tail.moveTo(6, 16);
    tail.lineTo(5, 22.5);
    tail.lineTo(12, 16);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(bubble);
    const QColor blue(0, 70, 200);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawEllipse(QRectF(10.5, 3.5, 3, 3));  // the dot
    p.drawRect(QRectF(10.5, 7.5, 3, 7.5));   // the stem
    p.drawRect(QRectF(9, 7.5, 2, 1.5));      // serif left at the top
    p.drawRect(QRectF(9, 13.5, 6, 1.5));     // foot
    return img;
}

// A yellow triangle with a black "!".
QImage Warning() {
    QImage img = Canvas(24, 24, kGround);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(12, 1.5);
    tri.lineTo(22.5, 21.5);
    tri.lineTo(1.5, 21.5);
    tri.closeSubpath();
    p.setPen(QPen(QColor(120, 90, 0), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 210, 0));
    p.drawPath(tri);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath bar;
    bar.moveTo(10.6, 7.5);
    bar.lineTo(13.4, 7.5);
    bar.lineTo(12.7, 15);
    bar.lineTo(11.3, 15);
    bar.closeSubpath();
    p.drawPath(bar);
    p.drawEllipse(QRectF(10.7, 16.3, 2.6, 2.6));
    return img;
}

// A red square with a white "X".
QImage Error() {
    QImage img = Canvas(24, 24, kGround);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(130, 0, 0), 1));
    p.setBrush(QColor(215, 25, 25));
    p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 2, 2);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7.5, 7.5), QPointF(16.5, 16.5));
    p.drawLine(QPointF(16.5, 7.5), QPointF(7.5, 16.5));
    return img;
}

// A moisture drop over a meter dial, drawn at any size on a transparent ground.
QImage AppIcon(int size) {
    QImage img = Canvas(size, size, Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Meter body.
    QLinearGradient body(0, 20, 0, 62);
    body.setColorAt(0, QColor(70, 80, 95));
    body.setColorAt(1, QColor(40, 46, 56));
    p.setPen(QPen(QColor(25, 28, 35), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 24, 56, 37), 7, 7);
    // Display window.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(202, 228, 255));
    p.drawRoundedRect(QRectF(10, 30, 44, 17), 3, 3);
    // Bar graph in the display.
    p.setBrush(QColor(0, 64, 128));
    for (int i = 0; i < 5; ++i) {
        const double h = 4 + i * 2.2;
        p.drawRect(QRectF(14 + i * 8, 44 - h, 5, h));
    }
    // Two probe buttons.
    p.setBrush(QColor(230, 120, 30));
    p.drawEllipse(QRectF(14, 51, 7, 7));
    p.setBrush(QColor(160, 170, 180));
    p.drawEllipse(QRectF(43, 51, 7, 7));

    // The drop, above the meter.
    QPainterPath drop;
    drop.moveTo(32, 1.5);
    drop.cubicTo(36, 9, 44, 14, 44, 21);
    drop.arcTo(QRectF(20, 9, 24, 24), 0, -180);
    drop.cubicTo(20, 14, 28, 9, 32, 1.5);
    QLinearGradient water(20, 2, 44, 32);
    water.setColorAt(0, QColor(110, 190, 255));
    water.setColorAt(1, QColor(0, 90, 200));
    p.setPen(QPen(QColor(0, 60, 140), 1.5));
    p.setBrush(water);
    p.drawPath(drop);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(QRectF(25, 16, 5, 8));
    return img;
}

// The maker's logo for the about box: 126 x 85.
QImage Logo() {
    QImage img = Canvas(126, 85, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(QColor(0, 64, 128), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1, 1, 124, 83), 8, 8);
    const QImage icon = AppIcon(40);
    p.drawImage(QPointF(8, 8), icon);

    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPixelSize(22);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(0, 64, 128));
    p.drawText(QRectF(50, 8, 72, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KV"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(40, 40, 40));
    p.drawText(QRectF(4, 52, 118, 14), Qt::AlignCenter, QStringLiteral("wilgotnościomierze"));
    p.setPen(QColor(0, 90, 200));
    p.drawText(QRectF(4, 66, 118, 14), Qt::AlignCenter, QStringLiteral("KV-606 · 607 · 608"));
    return img;
}

bool Save(const QImage& img, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "no such folder: %s\n", argv[1]);
        return 2;
    }
    bool ok = Save(Information(), dir, QStringLiteral("info.png"));
    ok = Save(Warning(), dir, QStringLiteral("warning.png")) && ok;
    ok = Save(Error(), dir, QStringLiteral("error.png")) && ok;
    ok = Save(AppIcon(32), dir, QStringLiteral("app_32.png")) && ok;
    ok = Save(AppIcon(64), dir, QStringLiteral("app_64.png")) && ok;
    ok = Save(AppIcon(128), dir, QStringLiteral("app_128.png")) && ok;
    ok = Save(Logo(), dir, QStringLiteral("logo.png")) && ok;
    return ok ? 0 : 1;
}

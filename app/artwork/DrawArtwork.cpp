// velmora-artwork OUTDIR [ICONDIR]: draws the application's images (logo and
// the small interface glyphs) as PNG files. The images are original drawings
// made here; the PNGs in resources/images are its output, kept in the
// repository so that a build needs no drawing step. Run again after changing
// a drawing. With ICONDIR it also draws the desktop icon at the usual sizes
// as ICONDIR/hicolor/NxN/apps/<application id>.png (dist/icons in the
// repository).
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>

namespace
{
const QColor kAccent(0xe0, 0xa8, 0x4a);   // warm amber
const QColor kGlyph(0xc8, 0xcd, 0xd3);    // glyphs on dark controls
const QColor kGlyphOff(0x6c, 0x72, 0x78); // the same, disabled
const QColor kCheck(0xff, 0xff, 0xff);

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage& image, const QString& dir, const char* name)
{
    const QString path = QDir(dir).filePath(QLatin1String(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "velmora-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// The logo: a dark rounded tile, an amber ring and, inside it, the waveform
// of a take (bars whose height swells and fades), with a small record light.
QImage logo(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x34, 0x42, 0x52));
    tile.setColorAt(1, QColor(0x1a, 0x21, 0x29));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.03 * s, 0.03 * s, 0.94 * s, 0.94 * s), 0.2 * s, 0.2 * s);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kAccent, 0.05 * s));
    const QRectF ring(0.16 * s, 0.16 * s, 0.68 * s, 0.68 * s);
    p.drawEllipse(ring);

    const int bars = 9;
    const qreal width = 0.034 * s;
    const qreal gap = 0.026 * s;
    const qreal total = bars * width + (bars - 1) * gap;
    qreal x = 0.5 * s - total / 2;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe9, 0xec, 0xef));
    for (int i = 0; i < bars; ++i) {
        const qreal t = (i - (bars - 1) / 2.0) / ((bars - 1) / 2.0);
        const qreal envelope = std::exp(-2.2 * t * t);
        const qreal ripple = 0.75 + 0.25 * std::cos(i * 2.1);
        const qreal h = 0.44 * s * envelope * ripple + 0.04 * s;
        p.drawRoundedRect(QRectF(x, 0.5 * s - h / 2, width, h), width / 2, width / 2);
        x += width + gap;
    }
    p.setBrush(QColor(0xd9, 0x4a, 0x3d));
    p.drawEllipse(QPointF(0.78 * s, 0.22 * s), 0.055 * s, 0.055 * s);
    return image;
}

// A small chevron pointing down (or up), for combo boxes and sort indicators.
QImage chevron(int size, const QColor& color, bool up)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, size * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal s = size;
    QPainterPath path;
    if (up) {
        path.moveTo(0.2 * s, 0.65 * s);
        path.lineTo(0.5 * s, 0.35 * s);
        path.lineTo(0.8 * s, 0.65 * s);
    } else {
        path.moveTo(0.2 * s, 0.35 * s);
        path.lineTo(0.5 * s, 0.65 * s);
        path.lineTo(0.8 * s, 0.35 * s);
    }
    p.drawPath(path);
    return image;
}

// A check mark, for checkable menu entries and check boxes.
QImage check(int size, const QColor& color)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, size * 0.15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal s = size;
    QPainterPath path;
    path.moveTo(0.2 * s, 0.52 * s);
    path.lineTo(0.42 * s, 0.74 * s);
    path.lineTo(0.8 * s, 0.28 * s);
    p.drawPath(path);
    return image;
}
} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fputs("usage: velmora-artwork OUTDIR [ICONDIR]\n", stderr);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    bool ok = save(logo(256), dir, "logo.png");
    ok = save(logo(64), dir, "logo-64.png") && ok;
    ok = save(chevron(24, kGlyph, false), dir, "arrow-down.png") && ok;
    ok = save(chevron(24, kGlyphOff, false), dir, "arrow-down-disabled.png") && ok;
    ok = save(chevron(24, kGlyph, true), dir, "arrow-up.png") && ok;
    ok = save(check(24, kCheck), dir, "check.png") && ok;
    ok = save(check(24, kGlyphOff), dir, "check-disabled.png") && ok;
    if (argc == 3) {
        const QString icons = QString::fromLocal8Bit(argv[2]);
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
            const QString sub = QStringLiteral("%1/hicolor/%2x%2/apps").arg(icons).arg(size);
            QDir().mkpath(sub);
            ok = save(logo(size), sub, "example.quorlan.Velmora.png") && ok;
        }
    }
    return ok ? 0 : 1;
}

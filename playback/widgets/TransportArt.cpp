#include "TransportArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace TransportArt
{

namespace
{

QImage panel(const QColor& top, const QColor& bottom, const QColor& edge)
{
    QImage img(320, 80, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    QPainterPath path;
    path.addRoundedRect(QRectF(2, 2, img.width() - 4, img.height() - 4), 10, 10);
    p.fillPath(path, g);
    p.setPen(QPen(edge, 3));
    p.drawPath(path);
    return img;
}

} // namespace

QImage displayBackground(bool red)
{
    return red ? panel(QColor(0xf2, 0xb8, 0xb0), QColor(0xd8, 0x7a, 0x6e), QColor(0x6a, 0x2a, 0x22))
               : panel(QColor(0xd9, 0xe0, 0xb8), QColor(0xb4, 0xbe, 0x8c),
                       QColor(0x4a, 0x4e, 0x3c));
}

QImage fileNameBackground()
{
    return panel(QColor(0xe8, 0xe8, 0xe2), QColor(0xc8, 0xc8, 0xbe), QColor(0x58, 0x5b, 0x4c));
}

QIcon icon(Glyph glyph)
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x58, 0x5b, 0x4c));
    auto triangle = [&](qreal x, qreal w, bool right) {
        QPolygonF t;
        if (right)
            t << QPointF(x, 10) << QPointF(x + w, 24) << QPointF(x, 38);
        else
            t << QPointF(x + w, 10) << QPointF(x, 24) << QPointF(x + w, 38);
        p.drawPolygon(t);
    };
    switch (glyph) {
    case Glyph::Play:
        triangle(14, 24, true);
        break;
    case Glyph::Pause:
        p.drawRect(QRectF(13, 10, 8, 28));
        p.drawRect(QRectF(27, 10, 8, 28));
        break;
    case Glyph::Stop:
        p.drawRect(QRectF(12, 12, 24, 24));
        break;
    case Glyph::Rewind:
        triangle(6, 18, false);
        triangle(24, 18, false);
        break;
    case Glyph::FastForward:
        triangle(6, 18, true);
        triangle(24, 18, true);
        break;
    }
    return QIcon(pm);
}

} // namespace TransportArt

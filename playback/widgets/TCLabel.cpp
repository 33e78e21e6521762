#include "TCLabel.h"

#include <QFontMetrics>
#include <QPainter>

TCLabel::TCLabel(QWidget* parent, bool fullArea) : QWidget(parent), m_fullArea(fullArea)
{
    m_font.setPointSize(10);
    setMinimumSize(40, 16);
}

void TCLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    fitFont();
    update();
}

void TCLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void TCLabel::setImage(const QString& path)
{
    if (path.isEmpty())
        return;
    setImage(QImage(path));
}

void TCLabel::setImage(const QImage& image)
{
    m_image = image;
    update();
}

QRect TCLabel::textRect() const
{
    if (m_fullArea)
        return rect();
    const int dx = width() * 5 / 100;
    const int dy = height() * 15 / 100;
    return rect().adjusted(dx, dy, -dx, -dy);
}

void TCLabel::fitFont()
{
    const QRect r = textRect();
    if (m_text.isEmpty() || r.width() <= 0 || r.height() <= 0)
        return;
    auto fits = [&](int size) {
        QFont f = m_font;
        f.setPointSize(size);
        const QRect b = QFontMetrics(f).boundingRect(m_text);
        return b.width() < r.width() && b.height() < r.height();
    };
    int size = std::max(5, m_font.pointSize());
    bool grew = false;
    while (fits(size) && size < 200) {
        ++size;
        grew = true;
    }
    if (grew)
        size = std::max(5, size - 1);
    else
        while (size > 5 && !fits(size))
            --size;
    m_font.setPointSize(size);
}

void TCLabel::resizeEvent(QResizeEvent*)
{
    fitFont();
}

void TCLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_image.isNull())
        p.drawImage(rect(), m_image);
    p.setFont(m_font);
    p.setPen(m_color);
    p.drawText(textRect(), Qt::AlignCenter, m_text);
}

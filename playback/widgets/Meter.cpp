#include "Meter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

Meter::Meter(QWidget* parent, const QList<int>& ticks, int kind)
    : QWidget(parent), m_ticks(ticks), m_kinds(QList<int>(ticks.size(), kind)),
      m_long(QList<bool>(ticks.size(), false))
{
}

void Meter::setTickLocations(const QList<int>& kinds)
{
    if (kinds.size() == m_ticks.size())
        m_kinds = kinds;
}

void Meter::setTickTypes(const QList<bool>& longTicks)
{
    if (longTicks.size() == m_ticks.size())
        m_long = longTicks;
}

void Meter::updateValue(int level, int peak)
{
    if (!isVisible())
        return;
    m_inner = level * usableHeight() / 100;
    m_main = peak * usableHeight() / 100;
    update();
}

void Meter::updateValue(float level, float peak)
{
    if (!isVisible())
        return;
    m_inner = dBFStoNative(level);
    m_main = dBFStoNative(peak);
    update();
}

void Meter::updateValue(uchar level, uchar peak)
{
    if (!isVisible())
        return;
    m_main = dBFStoNative(level);
    m_marker = dBFStoNative(peak);
    update();
}

void Meter::clearValue()
{
    m_main = m_marker = m_inner = 0;
    update();
}

int Meter::dBFStoNative(float dB) const
{
    const int n = int(m_ticks.size());
    if (n == 0)
        return 0;
    const int u = usableHeight();
    const int whole = int(dB);
    int i = 0;
    while (i < n - 1 && whole > m_ticks[i])
        ++i;
    const float f = i == 0 ? 0.0f : (float(m_ticks[i]) - dB) / float(m_ticks[i] - m_ticks[i - 1]);
    return int(float(u - i * u / n) + f);
}

int Meter::findSegmentLocationdBFS(float dB) const
{
    const int whole = int(dB);
    for (int t : m_ticks)
        if (t >= whole)
            return t;
    return m_ticks.isEmpty() ? 0 : m_ticks.last();
}

int Meter::redLimit() const
{
    const int u = usableHeight();
    return u - 3 * u / std::max<int>(1, int(m_ticks.size()));
}

int Meter::yellowLimit() const
{
    const int u = usableHeight();
    return u - 12 * u / std::max<int>(1, int(m_ticks.size()));
}

int Meter::clipLimit() const
{
    const int u = usableHeight();
    return u - u / std::max<int>(1, int(m_ticks.size()));
}

int Meter::topZone() const
{
    const int top = std::max(m_main, m_marker);
    return top > redLimit() ? 2 : top > yellowLimit() ? 1 : 0;
}

bool Meter::clipLit() const
{
    return m_main > clipLimit() || m_marker > clipLimit();
}

void Meter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int u = usableHeight();
    const int n = std::max<int>(1, int(m_ticks.size()));
    const int red = redLimit();
    const int yellow = yellowLimit();
    const QColor frame(Qt::darkGray);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    p.fillPath(outline, QColor(0x30, 0x30, 0x30));

    p.setPen(frame);
    for (int i = 0; i < m_ticks.size(); ++i) {
        const int y = 14 + i * u / n;
        if (m_kinds[i] & 1)
            p.drawLine(m_long[i] ? 0 : 3, y, 6, y);
        if (m_kinds[i] & 2)
            p.drawLine(17, y, m_long[i] ? 24 : 21, y);
    }
    const int x = (!m_kinds.isEmpty() && (m_kinds.first() & 1)) ? 7 : 3;
    const int base = u + 14;
    auto bar = [&](int from, int to, const QColor& c) {
        if (to > from)
            p.fillRect(QRect(x, base - to, 11, to - from), c);
    };
    if (m_marker > 1 && m_marker <= u) {
        const QColor c = m_marker > red ? m_top : m_marker > yellow ? m_middle : m_low;
        p.fillRect(QRect(x, base - m_marker, 11, 2), c);
    }
    if (m_main > 1) {
        bar(0, std::min(m_main, yellow), m_low);
        if (m_main >= yellow)
            bar(yellow, std::min(m_main, red), m_middle);
        if (m_main >= red)
            bar(red, std::min(m_main, u - 1), m_top);
    }
    if (m_inner > 1)
        bar(0, std::min(m_inner, yellow), QColor(0, 232, 0));
    p.setPen(frame);
    p.drawPath(outline);
    if (clipLit())
        p.fillRect(QRect(x, 2, 10, 6), m_clip);
}

MeterScale::MeterScale(QWidget* parent, const QList<int>& ticks, int alignment)
    : QWidget(parent), m_ticks(ticks), m_labels(QList<bool>(ticks.size(), false)),
      m_alignment(alignment)
{
    setMinimumWidth(15);
}

void MeterScale::setLabelLocations(const QList<bool>& labels)
{
    if (labels.size() == m_ticks.size())
        m_labels = labels;
}

void MeterScale::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QFont font(QStringLiteral("Verdana"), 7, QFont::Normal);
    p.setFont(font);
    p.setPen(Qt::black);
    const int h = QFontMetrics(font).boundingRect(QStringLiteral("-40")).height();
    const int us = height() - 13;
    const int n = std::max<int>(1, int(m_ticks.size()));
    for (int i = 0; i < m_ticks.size(); ++i) {
        if (!m_labels[i])
            continue;
        const int v = m_ticks[i];
        const int o = v == 0 ? h / 3 : v == 40 ? 2 * h / 3 : h / 2;
        const QString text =
            QStringLiteral("%1%2").arg(v == 0 ? QStringLiteral(" ") : QStringLiteral("-")).arg(v);
        p.drawText(QRect(0, i * us / n + 13 - o, width(), h), m_alignment, text);
    }
}

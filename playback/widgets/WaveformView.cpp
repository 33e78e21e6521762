#include "WaveformView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

WaveformView::WaveformView(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(24);
    setCursor(Qt::PointingHandCursor);
}

void WaveformView::setEnvelope(std::shared_ptr<const PeakEnvelope> envelope)
{
    m_envelope = std::move(envelope);
    update();
}

void WaveformView::setPosition(double percent)
{
    m_position = std::clamp(percent, 0.0, 100.0);
    update();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2e, 0x30, 0x28));
    const PeakEnvelope* e = m_envelope.get();
    if (e && e->channels > 0 && e->bins > 0) {
        const int lanes = std::min(e->channels, 8);
        const double laneHeight = double(height()) / lanes;
        p.setPen(QColor(0xb4, 0xbe, 0x8c));
        for (int x = 0; x < width(); ++x) {
            const int bin = int(qint64(x) * e->bins / std::max(1, width()));
            for (int c = 0; c < e->channels; ++c) {
                const int lane = std::min(c, lanes - 1);
                const double mid = laneHeight * (lane + 0.5);
                const double half = e->peak(bin, c) * laneHeight / 2;
                p.drawLine(QPointF(x, mid - half), QPointF(x, mid + half));
            }
        }
    }
    p.setPen(QColor(0xf2, 0x5a, 0x3c));
    const int x = int(m_position * (width() - 1) / 100.0);
    p.drawLine(x, 0, x, height());
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || width() <= 0)
        return;
    const int percent = int(event->position().x() * 100.0 / width());
    emit seekRequested(std::clamp(percent, 0, 99));
}

#include "MixerView.h"

#include "Meter.h"
#include "constantsR9K.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

namespace
{
// The recorder's scale, top to bottom: 1 dB steps to 20, then coarser.
const QList<int> kScale = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                           15, 16, 17, 18, 19, 20, 22, 24, 26, 28, 30, 33, 36, 40};
const QList<int> kLongTicks = {0, 6, 12, 20, 30, 40};

QList<bool> longTickFlags()
{
    QList<bool> flags;
    for (int value : kScale)
        flags.append(kLongTicks.contains(value));
    return flags;
}

constexpr int kLeftTicks = 1;
constexpr int kRightTicks = 2;
constexpr int kBothTicks = 3;
// Fall counter after a new peak, halved at each step of the fall.
constexpr uchar kFallStart = 16;
} // namespace

MixerView::MixerView(QWidget* parent, int channels) : QWidget(parent)
{
    setObjectName(QStringLiteral("MixerView"));
    setMinimumWidth(680);
    const int count = qBound(1, channels, int(constantsR9K::trackLabelText.size()));
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(6);
    auto* logo = new QLabel(this);
    logo->setPixmap(QPixmap(QStringLiteral(":/Velmora/Resources/logo-64.png")));
    grid->addWidget(logo, 0, 0, 1, count + 2, Qt::AlignLeft);

    auto* leftScale =
        new MeterScale(this, kScale, Qt::AlignRight | Qt::AlignVCenter | Qt::AlignBaseline);
    leftScale->setLabelLocations(longTickFlags());
    grid->addWidget(leftScale, 1, 0);
    for (int i = 0; i < count; ++i) {
        // The outer meters carry the ticks towards their scales, the others both.
        const int kind = i == 0 ? kLeftTicks : (i == count - 1 ? kRightTicks : kBothTicks);
        auto* meter = new Meter(this, kScale, kind);
        meter->setObjectName(QStringLiteral("recorderMeter%1").arg(i + 1));
        meter->setTickTypes(longTickFlags());
        grid->addWidget(meter, 1, i + 1, Qt::AlignHCenter);
        auto* name =
            new QLabel(QString::fromLatin1(constantsR9K::trackLabelText[std::size_t(i)]), this);
        name->setAlignment(Qt::AlignCenter);
        grid->addWidget(name, 2, i + 1);
        m_meters.append(meter);
    }
    auto* rightScale =
        new MeterScale(this, kScale, Qt::AlignLeft | Qt::AlignTop | Qt::AlignBaseline);
    rightScale->setLabelLocations(longTickFlags());
    grid->addWidget(rightScale, 1, count + 1);
    grid->setRowStretch(1, 1);

    m_bytes = QByteArray(2 * count, char(kFloor));
    m_peaks = QList<float>(count, kSilence);
    m_hold = QByteArray(count, 0);
    m_fall = QByteArray(count, 0);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &MixerView::updateMeters);
}

// A short reply (fewer channels than shown) is dropped rather than half used.
void MixerView::on_meterUpdate(QByteArray levels)
{
    if (levels.isEmpty() || levels.size() < m_bytes.size())
        return;
    memcpy(m_bytes.data(), levels.constData(), size_t(m_bytes.size()));
}

void MixerView::on_meterBallisticsUpdate(const quint16& value)
{
    if (value <= 2)
        m_mode = int(value) + 1;
}

void MixerView::on_meterPeakHoldTimeUpdate(const quint16& ms)
{
    m_holdTicks = ms / kTickMs + 10;
}

void MixerView::on_deviceDiscoveredR9K()
{
    setEnabled(true);
    m_timer.start();
}

void MixerView::on_deviceRemovedR9K()
{
    stopAndClear();
}

void MixerView::clearMeterValues()
{
    m_bytes.fill(char(kFloor));
    for (float& p : m_peaks)
        p = kSilence;
    m_hold.fill(0);
    m_fall.fill(0);
    updateMeters();
}

void MixerView::stopAndClear()
{
    m_timer.stop();
    clearMeterValues();
    setEnabled(false);
}

void MixerView::updateMeters()
{
    for (char& h : m_hold)
        if (h > 0)
            --h;
    for (int ch = 0; ch < m_meters.size(); ++ch) {
        const uchar level = (m_mode & VuOnly) ? uchar(m_bytes.at(2 * ch)) : kSilence;
        const uchar candidate = uchar(m_bytes.at(2 * ch + 1));
        float& peak = m_peaks[ch];
        if (m_mode & PeakOnly) {
            if (m_hold.at(ch) == 0 && peak < kFloor)
                peak = float(m_meters.at(ch)->findSegmentLocationdBFS(peak + 1));
            if (candidate < peak) {
                peak = candidate;
                m_hold[ch] = char(qMin(m_holdTicks, 127));
                m_fall[ch] = char(kFallStart);
            }
        } else {
            peak = kSilence;
        }
        const uchar shown = uchar(qBound(0.0f, peak, float(kSilence)));
        if (m_mode & VuOnly)
            m_meters.at(ch)->updateValue(level, shown);
        else
            m_meters.at(ch)->updateValue(shown, uchar(kSilence));
        if (m_hold.at(ch) == 0) {
            m_fall[ch] = char(m_fall.at(ch) / 2);
            m_hold[ch] = m_fall.at(ch);
        }
    }
}

void MixerView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setEnabled(true);
    m_timer.start();
}

void MixerView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    stopAndClear();
}

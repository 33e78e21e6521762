#pragma once

#include <QByteArray>
#include <QList>
#include <QTimer>
#include <QWidget>

class Meter;

// The recorder meter page of control mode: twelve meters (L, R, A-H, X1, X2)
// showing the connected recorder's own meters as the control-mode worker
// reads them. Levels are attenuations in dB below full scale (0 full scale,
// 40 bottom, 41 silence). A 50 ms timer runs the peak-hold and fall ballistics
// over the last bytes received: byte 2i is channel i's level, 2i + 1 its peak.
// GUI thread; the worker's signals arrive queued.
class MixerView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 50;
    static constexpr uchar kFloor = 40;
    static constexpr uchar kSilence = 41;
    // Modes: bit 0 shows the level (VU), bit 1 the held peak.
    enum MeterMode { VuOnly = 1, PeakOnly = 2, PeakAndVu = 3 };

    MixerView(QWidget* parent, int channels);

    int channelCount() const { return int(m_meters.size()); }
    Meter* meter(int channel) const { return m_meters.value(channel); }
    int meterMode() const { return m_mode; }
    int holdTicks() const { return m_holdTicks; }
    QByteArray meterBytes() const { return m_bytes; }
    float peak(int channel) const { return m_peaks.value(channel, kSilence); }
    bool timerRunning() const { return m_timer.isActive(); }

public slots:
    void on_meterUpdate(QByteArray levels);
    void on_meterBallisticsUpdate(const quint16& value);
    void on_meterPeakHoldTimeUpdate(const quint16& ms);
    void on_deviceDiscoveredR9K();
    void on_deviceRemovedR9K();
    // Levels to the floor, peaks to silence, meters drawn once so they fall.
    void clearMeterValues();
    void updateMeters();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void stopAndClear();

    QList<Meter*> m_meters;
    QTimer m_timer;
    QByteArray m_bytes;
    QList<float> m_peaks;
    QByteArray m_hold;
    QByteArray m_fall;
    int m_mode = PeakAndVu;
    int m_holdTicks = 10;
};

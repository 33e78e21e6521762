#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QWidget>

class Meter;
class QLineEdit;
class QSlider;
class QToolButton;

// The playback mixer: one strip per track of the playing take (gain fader
// −48 … +12 dB, gain field, pan switch left/centre/right, solo, mute, track
// name and a level meter). Every change is sent as commandUpdate(kind,
// channel, value), which the transport window hands to the playback engine:
// kind 0 gain (dB + 48), 1 pan (1 left, 2 centre, 3 right), 3 mute (bool).
// Strips above the playing take's tracks send nothing. GUI thread only.
class Mixer : public QWidget
{
    Q_OBJECT

public:
    enum Command { CmdGain = 0, CmdPan = 1, CmdMute = 3 };

    Mixer(QWidget* parent, int channels);

    int stripCount() const { return int(m_meters.size()); }
    int activeChannels() const { return m_active; }
    bool isPlaying() const { return m_playing; }
    // Ballistics state, in dB below full scale.
    float peakValue(int ch) const { return m_peaks.value(ch, 41.0f); }
    int holdTicks() const { return m_holdTime; }
    Meter* meter(int ch) const { return m_meters.value(ch); }

    // The playback mixer's scale: 0 … 40 dB in 1 dB steps.
    static QList<int> myScale();

signals:
    void commandUpdate(int kind, int channel, const QVariant& value);
    void startMixer();

public slots:
    void on_playStarted(const QString& path);
    void on_playStoped();
    void on_playPaused(bool playing);
    // Two values per strip: its level and its peak candidate (attenuations).
    void on_meterUpdate(const QList<float>& levels);
    void on_meterPeakHoldTimeUpdate(quint16 ms);
    // Shows the take's track names; ignored while a take plays.
    void on_currentTakeChanged(const QString& path);
    void updateDecay();
    void clearPeakHolds();

private slots:
    void volums_valueChanged(int v);
    void gains_editingFinished();
    void pans_valueChanged(int p);
    void mutes_clicked(bool on);
    void solos_clicked(bool on);

private:
    template <typename W> int stripOf(const QList<W*>& list) const;
    bool stripActive(int strip) const;
    void send(int kind, int channel, const QVariant& value);
    void initControls(int n);
    void setTrackNames(const QStringList& names);
    void updateMeters();

    int m_channels;
    bool m_playing = false;
    int m_active = 0;
    bool m_everPlayed = false;
    QList<QSlider*> m_faders;
    QList<QSlider*> m_pans;
    QList<QToolButton*> m_solos;
    QList<QToolButton*> m_mutes;
    QList<QLineEdit*> m_gains;
    QList<QLineEdit*> m_names;
    QString m_currentTake;
    QTimer m_decay;
    QByteArray m_hold;
    QByteArray m_fall;
    QList<float> m_peaks;
    QList<float> m_levels;
    int m_mode = 3; // bit 0 level (VU), bit 1 peak
    int m_holdTime = 5;
    QList<Meter*> m_meters;
};

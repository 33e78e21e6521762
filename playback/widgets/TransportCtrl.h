#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "PeakEnvelope.h"

class AudioFile;
class PlaybackThread;
class QSlider;
class QToolButton;
class TCLabel;
class WaveformView;

// The transport window: plays the current take through the playback engine
// (which it owns) and shows its name, running timecode, frame rate, elapsed
// and remaining time, with play/pause, stop, rewind, fast forward and a
// position slider (0 … 99, percent of the take; press, drag and release
// seeks). It forwards the mixer's commands to the engine and turns the
// engine's meter periods into the level list the mixer shows.
// It knows takes by path only. GUI thread; the engine reports through its
// queued progressUpdate signal.
class TransportCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit TransportCtrl(QWidget* parent = nullptr);
    ~TransportCtrl() override;

    PlaybackThread& engine() { return *m_engine; }
    bool isPlaying() const { return m_playing; }
    QString currentTake() const { return m_path; }

    TCLabel* fileNameLabel() const { return m_fileName; }
    TCLabel* timecodeLabel() const { return m_timecode; }
    TCLabel* frameRateLabel() const { return m_frameRate; }
    TCLabel* elapsedLabel() const { return m_elapsed; }
    TCLabel* remainingLabel() const { return m_remaining; }
    QSlider* slider() const { return m_slider; }
    QToolButton* playButton() const { return m_play; }
    QToolButton* stopButton() const { return m_stop; }
    WaveformView* overview() const { return m_overview; }

signals:
    // Two values per channel: the smoothed level and the peak, in dB below
    // full scale (41: silence).
    void meterUpdate(const QList<float>& levels);
    void playStarted(const QString& path);
    void playStoped();
    // true when playback starts or resumes, false when it pauses.
    void playPaused(bool playing);
    // Asks the main window to show this window.
    void startTransport();
    // A mixer track-name change, for the take list.
    void trackNameChanged(const QString& path, int channel, const QString& name);

public slots:
    // Plays the take at path from its start.
    void PlayBackFile(const QString& path);
    void PlayBackUpdate(int state, quint32 value);
    // Shows the take at path; ignored while the engine runs.
    void on_currentTakeChanged(const QString& path);
    // From the mixer: kind 0 gain (dB + 48), 1 pan (1 left, 2 both, 3 right),
    // 2 and 3 mute, 4 track name.
    void on_commandUpdate(int kind, int channel, const QVariant& value);
    void on_Play_clicked();
    void on_Stop_clicked();
    void on_RW_clicked();
    void on_FF_clicked();
    void on_horizontalSlider_sliderPressed();
    void on_horizontalSlider_sliderMoved(int value);
    void on_horizontalSlider_sliderReleased();
    void on_horizontalSlider_actionTriggered(int action);
    void on_horizontalSlider_valueChanged(int value);

private:
    bool startPlay(int percent);
    bool openTake();
    void setControls();
    void resetControls();
    void showPosition(quint64 position);
    void updateMeter(quint64 position);
    void setPlayIcon(bool pause);
    void seekBy(qint64 frames);
    void critical(const QString& text);
    // Shows the overview of files: from the cache, or computed on a worker
    // thread the first time the take plays (and after its files changed).
    void showOverview(const QStringList& files);
    void on_overviewSeek(int percent);

    std::unique_ptr<PlaybackThread> m_engine;
    std::unique_ptr<AudioFile> m_take;
    QString m_name;
    QString m_path;
    int m_files = 0;
    int m_outstanding = 0;
    bool m_seekPending = false;
    quint64 m_position = 0;
    TCLabel* m_fileName;
    TCLabel* m_timecode;
    TCLabel* m_frameRate;
    TCLabel* m_elapsed;
    TCLabel* m_remaining;
    bool m_playing = false;
    QToolButton* m_play;
    QToolButton* m_stop;
    QToolButton* m_rw;
    QToolButton* m_ff;
    QSlider* m_slider;
    WaveformView* m_overview;
    PeakEnvelopeCache m_envelopes;
    QStringList m_overviewFiles; // of the overview being shown or computed
};

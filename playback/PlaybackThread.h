#pragma once

#include "AudioThread.h"
#include "PlayBackInfo.h"
#include "cAudioMeterInfo.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The playback worker: plays one take (a file, or the mono files of one take
// in track order) through the default output device. The worker thread runs
// the reader, which keeps three buffers of about a second each filled; the
// stream callback converts, mixes and meters them (Playback::mixBlock).
//
// Commands (InitPlayBack, PlayBack, finishPlayback) come from the owner's
// thread. progressUpdate(STATE_PROGRESS, 100) arrives about every 40 ms while
// playing (read m_playPos then), STATE_DONE once when the reader stops: at the
// end of the data (also when the data is shorter than its header says) or
// after PLAY_FINISH. Playback never sends STATE_ERROR.
class PlaybackThread : public AudioThread
{
    Q_OBJECT

public:
    enum PlayBackCmd {
        PLAY_INIT = 1,
        PLAY_START = 2,
        PLAY_RESUME = 3,
        PLAY_STOP = 4, // pause
        PLAY_FINISH = 5,
        PLAY_GAIN = 6,   // a: channel, b: dB + 48 (0 … 60)
        PLAY_MUTE = 8,   // a: channel, b: non-zero mutes
        PLAY_SEEK = 9,   // a: percent of the take
        PLAY_ROUTE = 10, // a: channel, b: 1 left, 2 right, 3 both
    };

    explicit PlaybackThread(QObject* parent = nullptr);
    ~PlaybackThread() override;

    // Sets playback up and opens the stream (not started). False when another
    // operation is set up, a file does not open or is not playable (FLAC, an
    // unknown sample format, mono files that differ), or the device refuses.
    bool InitPlayBack(const QString& path, int device);
    bool InitPlayBack(const QStringList& paths, int device);
    // False unless playback is set up and cmd is a command above.
    bool PlayBack(PlayBackCmd cmd, int a = 0, unsigned int b = 0);

    cAudioMeterInfo& meterInfo() { return m_meterInfo; }
    // Of the playback set up (0 when none).
    int playState() const;
    quint32 sampleRate() const;
    quint64 totalFrames() const;
    int channels() const;
    int outChannels() const;

protected:
    void Play() override;

private:
    bool playInit(int device);
    bool playStart();
    bool playStop();
    bool playResume();
    bool playFinish();
    void playClean();
    void fill();
    bool readInto(PlayBackInfo::Buffer& b, quint32 frames, quint32& got);
    bool seekFiles(quint64 frame);

    std::unique_ptr<PlayBackInfo> m_play;
    cAudioMeterInfo m_meterInfo{12};
    std::vector<std::unique_ptr<AudioFile>> m_playFiles;
    std::vector<std::vector<uchar>> m_fileBufs; // one per mono file, for interleaving
    bool m_paInitialised = false;
};

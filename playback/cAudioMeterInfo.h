#pragma once

#include "PlaybackMix.h"

#include <QtGlobal>

#include <atomic>
#include <memory>
#include <vector>

// One channel of a meter period. While the period fills, level is the sum of
// squared samples; after Calculate() it is the smoothed attenuation in dB
// below full scale (0 at full scale, at most 41). peak: the largest magnitude
// of the period (1.0 = full scale). prev: the smoothed level of the period before.
struct cAudioMeterData {
    float prev = 0.0f;
    float level = 0.0f;
    float peak = 0.0f;
};

// The meter ring between the stream callback (one producer) and the window
// that shows the meters (one consumer). A slot belongs to the callback while
// its ready flag is clear and to the reader while it is set; the flag is the
// only shared state (release on hand-over, acquire on take-over), so neither
// side ever waits. When the reader falls behind and the ring is full, the
// callback drops periods instead of writing into a slot the reader holds.
class cAudioMeterInfo
{
public:
    explicit cAudioMeterInfo(int slots = 12);

    // Empties the ring and sizes every slot for channels (at most
    // Playback::kMixChannels). Only while no stream runs.
    void SetChannels(int channels);
    int channels() const { return m_channels; }
    void setPeriodFrames(quint32 frames) { m_periodFrames = frames; }
    quint32 periodFrames() const { return m_periodFrames; }

    // Callback side: hands one period (frames from position) to the reader.
    // False when the ring is full and the period was dropped.
    bool Publish(const Playback::MeterAccum& accum, quint64 position);

    // Reader side. ready: a period is handed out; it is not while the next
    // period starts after position (it lies ahead of what is shown). The
    // returned data (calculated) stays valid until ReleaseRdData().
    const std::vector<cAudioMeterData>& GetRdMeterData(bool& ready, quint64 position);
    // Gives the taken period back to the callback and moves on.
    void ReleaseRdData();
    // Turns the read slot's sums into smoothed attenuations (once per slot).
    void Calculate();

private:
    struct Slot {
        std::vector<cAudioMeterData> data;
        quint64 position = 0;
        std::atomic<bool> ready{false};
    };
    std::unique_ptr<Slot[]> m_slots;
    int m_size;
    int m_channels = 0;
    quint32 m_periodFrames = 1;
    // Callback side only.
    int m_writeIdx = 0;
    // Reader side only.
    int m_readIdx = 0;
    bool m_taken = false;
    bool m_calculated = false;
    std::vector<float> m_prev;
    std::vector<cAudioMeterData> m_none;
};

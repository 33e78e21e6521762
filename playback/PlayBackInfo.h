#pragma once

#include "PlaybackMix.h"
#include "cAudioMeterInfo.h"

#include <portaudio.h>

#include <array>
#include <atomic>
#include <vector>

// The state of one playback, shared by three threads: the owner's thread
// (commands), the reader on the worker thread and the stream callback.
// Fields are grouped by who writes them; everything written by one thread
// and read by another is atomic.
struct PlayBackInfo {
    // One of the three play buffers. The reader owns it while ready is clear
    // and fills the fields below before it sets ready (release); the callback
    // owns it while ready is set and clears ready (release) when it is done.
    struct Buffer {
        uchar* data = nullptr;
        quint64 startFrame = 0; // take frame of the first frame held
        quint32 frames = 0;     // frames held (fewer at the end of the data)
        quint64 epoch = 0;      // seek generation the data belongs to
        bool last = false;      // the data of the take ends with this buffer
        std::atomic<bool> ready{false};
    };

    enum State { StateNone = 0, StateReady = 1, StatePlaying = 2, StatePaused = 4 };

    // Set up before the stream opens, read-only afterwards.
    std::vector<uchar> storage; // the three buffers
    std::array<Buffer, 3> bufs;
    quint32 bufFrames = 0; // frames per buffer = subBlocks × framesPerCallback
    quint32 bufBytes = 0;
    quint32 subBlocks = 0;
    quint32 bytesPerSample = 0;
    quint32 bytesPerFrame = 0;
    Playback::SampleFormat format = Playback::SampleFormat::Invalid;
    quint32 sampleRate = 0;
    quint32 framesPerCallback = 0;
    quint32 channels = 0;    // input channels (files of a mono group, or the file's)
    quint32 outChannels = 2; // of the stream: 1 for a one-channel device
    int deviceArg = 0;
    quint32 callbacksPerMeter = 1;
    quint64 totalFrames = 0;
    cAudioMeterInfo* meter = nullptr;
    std::atomic<quint32>* posOut = nullptr;
    PaStream* stream = nullptr;

    // Mixer values: written by the owner, read by the callback once per block.
    std::array<std::atomic<float>, Playback::kMixChannels> gain;
    std::array<std::atomic<quint8>, Playback::kMixChannels> route;
    std::array<std::atomic<bool>, Playback::kMixChannels> mute;
    std::array<float, 2> outGain{{0.99f, 0.99f}};

    // Owner → reader and callback: the latest seek request, generation << 8 |
    // percent of the take. The reader seeks when the generation changes and
    // tags its buffers with the generation it has handled; the callback drops
    // buffers of an older generation at once, so a seek never plays old data.
    // The first request (generation 1, 0 %) starts at the beginning.
    std::atomic<quint64> seekReq{quint64(1) << 8};
    static quint64 generationOf(quint64 request) { return request >> 8; }
    // Owner/callback → reader: playback must end.
    std::atomic<bool> stop{false};
    // Callback → reader: the data ended (STATE_DONE follows).
    std::atomic<bool> ended{false};
    // Reader → owner: the reader's last act. The owner reads it (acquire)
    // after joining the thread, before it frees this record.
    std::atomic<bool> readerDone{false};
    // Owner → callback, reader.
    std::atomic<int> state{StateNone};
    // Callback → everyone: frame of the take the callback has reached.
    std::atomic<quint64> framePos{0};

    // Callback only.
    quint32 readIdx = 0;
    quint32 readPos = 0; // frames of bufs[readIdx] already played
    quint32 callbackCount = 0;
    quint64 meterStart = 0;
    Playback::MeterAccum accum;

    // Reader only.
    quint32 writeIdx = 0;
    quint64 nextFrame = 0;  // take frame the reader reads next
    quint64 handledGen = 0; // seek generation of the buffers being filled
    bool dataEnd = false;   // no more data until the next seek

    PlayBackInfo();
    // Sets the defaults of the mixer values.
    void resetMixer();
};

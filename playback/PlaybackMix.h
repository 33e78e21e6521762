#pragma once

#include <QtGlobal>

#include <array>

// The mixing and conversion step of playback: interleaved take samples in,
// interleaved float output frames out. A plain function over a block of
// frames, called by the stream callback, the tests and the benchmark; it
// allocates nothing, takes no lock and touches no file.

namespace Playback
{

// Channels the mixer mixes; a take with more plays its first kMixChannels.
constexpr int kMixChannels = 32;

// Sample encodings a take can carry, chosen by the fmt format tag and the
// bits per sample.
enum class SampleFormat { Invalid, U8, S16, S24, S32, F32, F64 };

// formatTag 1 (PCM): 8-bit unsigned, 16/24/32-bit signed; formatTag 3 (IEEE
// float): 32 or 64 bits. Anything else is Invalid (not playable).
SampleFormat sampleFormatFor(quint16 formatTag, quint16 bitsPerSample);
int bytesPerSample(SampleFormat format);
// One sample at p as a float (full scale 1.0); 0 for Invalid.
float sampleValue(const uchar* p, SampleFormat format);

// Mixer values for one block. gain is linear; route bit 0 sends the channel
// to the left output, bit 1 to the right; a muted channel is metered, not mixed.
struct MixSettings {
    std::array<float, kMixChannels> gain;
    std::array<quint8, kMixChannels> route;
    std::array<bool, kMixChannels> mute;
    std::array<float, 2> outGain;

    // Unity gain, nothing muted, even channels left and odd right, outputs 0.99.
    MixSettings();
};

// Meter data of one period: per channel the sum of squared samples and the
// largest magnitude (full scale 1.0).
struct MeterAccum {
    std::array<float, kMixChannels> level{};
    std::array<float, kMixChannels> peak{};
    void clear();
};

// Mixes frames of interleaved input (channels per frame, format encoding,
// little-endian) into out: frames × outChannels floats (outChannels 1 or 2;
// a one-channel device gets the mean of left and right). Each channel's
// sample is scaled by its gain and clamped to ±1 before it is added; each
// side is clamped to ±1 after every addition and again after the output
// gain. meter (may be null) accumulates the first kMixChannels channels.
void mixBlock(const uchar* in, int frames, int channels, SampleFormat format,
              const MixSettings& settings, MeterAccum* meter, float* out, int outChannels);

} // namespace Playback

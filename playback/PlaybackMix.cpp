#include "PlaybackMix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Playback
{

SampleFormat sampleFormatFor(quint16 formatTag, quint16 bitsPerSample)
{
    if (formatTag == 1) {
        switch (bitsPerSample) {
        case 8:
            return SampleFormat::U8;
        case 16:
            return SampleFormat::S16;
        case 24:
            return SampleFormat::S24;
        case 32:
            return SampleFormat::S32;
        default:
            return SampleFormat::Invalid;
        }
    }
    if (formatTag == 3 && bitsPerSample == 32)
        return SampleFormat::F32;
    if (formatTag == 3 && bitsPerSample == 64)
        return SampleFormat::F64;
    return SampleFormat::Invalid;
}

int bytesPerSample(SampleFormat format)
{
    switch (format) {
    case SampleFormat::U8:
        return 1;
    case SampleFormat::S16:
        return 2;
    case SampleFormat::S24:
        return 3;
    case SampleFormat::S32:
    case SampleFormat::F32:
        return 4;
    case SampleFormat::F64:
        return 8;
    case SampleFormat::Invalid:
        break;
    }
    return 0;
}

MixSettings::MixSettings()
{
    for (int c = 0; c < kMixChannels; ++c) {
        gain[size_t(c)] = 1.0f;
        route[size_t(c)] = quint8((c & 1) + 1);
        mute[size_t(c)] = false;
    }
    outGain = {0.99f, 0.99f};
}

void MeterAccum::clear()
{
    level.fill(0.0f);
    peak.fill(0.0f);
}

namespace
{

// Frames mixed per pass over the channels: the two side accumulators stay on
// the stack.
constexpr int kChunk = 256;

inline float clamp1(float v)
{
    return std::min(1.0f, std::max(-1.0f, v));
}

template <SampleFormat F> inline float readSample(const uchar* p)
{
    if constexpr (F == SampleFormat::U8) {
        return float(int(p[0]) - 128) * (1.0f / 128.0f);
    } else if constexpr (F == SampleFormat::S16) {
        return float(qint16(quint16(p[0] | (p[1] << 8)))) * (1.0f / 32768.0f);
    } else if constexpr (F == SampleFormat::S24) {
        const qint32 v = qint32(quint32(p[0]) << 8 | quint32(p[1]) << 16 | quint32(p[2]) << 24);
        return float(v) * (1.0f / 2147483648.0f);
    } else if constexpr (F == SampleFormat::S32) {
        const qint32 v =
            qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
        return float(v) * (1.0f / 2147483648.0f);
    } else if constexpr (F == SampleFormat::F32) {
        float v;
        std::memcpy(&v, p, sizeof v);
        return std::isfinite(v) ? v : 0.0f;
    } else {
        double v;
        std::memcpy(&v, p, sizeof v);
        return std::isfinite(v) ? float(v) : 0.0f;
    }
}

// One channel of n frames into the side accumulators.
template <SampleFormat F, bool ToLeft, bool ToRight>
void mixChannel(const uchar* p, int stride, int n, float gain, bool mute, float* level, float* peak,
                float* left, float* right)
{
    float lv = 0.0f;
    float pk = *peak;
    for (int f = 0; f < n; ++f, p += stride) {
        const float s = readSample<F>(p);
        lv += s * s;
        pk = std::max(pk, std::fabs(s));
        if (mute)
            continue;
        const float g = clamp1(s * gain);
        if constexpr (ToLeft)
            left[f] = clamp1(left[f] + g);
        if constexpr (ToRight)
            right[f] = clamp1(right[f] + g);
    }
    *level += lv;
    *peak = pk;
}

template <SampleFormat F>
void mixChunk(const uchar* in, int frames, int channels, const MixSettings& s, MeterAccum& m,
              float* left, float* right)
{
    constexpr int bps = F == SampleFormat::U8    ? 1
                        : F == SampleFormat::S16 ? 2
                        : F == SampleFormat::S24 ? 3
                        : F == SampleFormat::F64 ? 8
                                                 : 4;
    const int stride = bps * channels;
    const int mixed = std::min(channels, kMixChannels);
    for (int c = 0; c < mixed; ++c) {
        const size_t i = size_t(c);
        const uchar* p = in + c * bps;
        const bool mute = s.mute[i];
        float* lv = &m.level[i];
        float* pk = &m.peak[i];
        switch (s.route[i] & 3) {
        case 1:
            mixChannel<F, true, false>(p, stride, frames, s.gain[i], mute, lv, pk, left, right);
            break;
        case 2:
            mixChannel<F, false, true>(p, stride, frames, s.gain[i], mute, lv, pk, left, right);
            break;
        case 3:
            mixChannel<F, true, true>(p, stride, frames, s.gain[i], mute, lv, pk, left, right);
            break;
        default:
            mixChannel<F, false, false>(p, stride, frames, s.gain[i], true, lv, pk, left, right);
            break;
        }
    }
}

} // namespace

float sampleValue(const uchar* p, SampleFormat format)
{
    switch (format) {
    case SampleFormat::U8:
        return readSample<SampleFormat::U8>(p);
    case SampleFormat::S16:
        return readSample<SampleFormat::S16>(p);
    case SampleFormat::S24:
        return readSample<SampleFormat::S24>(p);
    case SampleFormat::S32:
        return readSample<SampleFormat::S32>(p);
    case SampleFormat::F32:
        return readSample<SampleFormat::F32>(p);
    case SampleFormat::F64:
        return readSample<SampleFormat::F64>(p);
    case SampleFormat::Invalid:
        break;
    }
    return 0.0f;
}

void mixBlock(const uchar* in, int frames, int channels, SampleFormat format,
              const MixSettings& settings, MeterAccum* meter, float* out, int outChannels)
{
    MeterAccum scratch;
    MeterAccum& m = meter ? *meter : scratch;
    const int bpf = bytesPerSample(format) * channels;
    float left[kChunk];
    float right[kChunk];
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        std::fill(left, left + n, 0.0f);
        std::fill(right, right + n, 0.0f);
        const uchar* src = in + qsizetype(done) * bpf;
        switch (format) {
        case SampleFormat::U8:
            mixChunk<SampleFormat::U8>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::S16:
            mixChunk<SampleFormat::S16>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::S24:
            mixChunk<SampleFormat::S24>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::S32:
            mixChunk<SampleFormat::S32>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::F32:
            mixChunk<SampleFormat::F32>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::F64:
            mixChunk<SampleFormat::F64>(src, n, channels, settings, m, left, right);
            break;
        case SampleFormat::Invalid:
            break;
        }
        float* o = out + qsizetype(done) * outChannels;
        if (outChannels == 1) {
            const float g = settings.outGain[0] * 0.5f;
            for (int f = 0; f < n; ++f)
                o[f] = clamp1(g * (left[f] + right[f]));
        } else {
            for (int f = 0; f < n; ++f) {
                o[2 * f] = clamp1(settings.outGain[0] * left[f]);
                o[2 * f + 1] = clamp1(settings.outGain[1] * right[f]);
            }
        }
    }
}

} // namespace Playback

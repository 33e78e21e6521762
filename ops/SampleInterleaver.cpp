#include "SampleInterleaver.h"

#include <cstring>

namespace
{

// Fixed-size copies let the compiler turn each sample into one or two moves.
template <int N>
void extractN(const char* src, int srcAlign, const int* channels, int count, qint64 frames,
              char* dst)
{
    if (count == 1) {
        const char* s = src + qint64(channels[0]) * N;
        for (qint64 f = 0; f < frames; ++f, s += srcAlign, dst += N)
            std::memcpy(dst, s, N);
        return;
    }
    for (qint64 f = 0; f < frames; ++f, src += srcAlign) {
        for (int c = 0; c < count; ++c, dst += N)
            std::memcpy(dst, src + qint64(channels[c]) * N, N);
    }
}

template <int N> void interleaveN(const char* const* sources, int count, qint64 frames, char* dst)
{
    const qint64 stride = qint64(count) * N;
    for (int c = 0; c < count; ++c) {
        const char* s = sources[c];
        char* d = dst + qint64(c) * N;
        for (qint64 f = 0; f < frames; ++f, s += N, d += stride)
            std::memcpy(d, s, N);
    }
}

} // namespace

void SampleInterleaver::extract(const char* src, int srcAlign, int bytesPerSample,
                                const int* channels, int count, qint64 frames, char* dst)
{
    switch (bytesPerSample) {
    case 1:
        return extractN<1>(src, srcAlign, channels, count, frames, dst);
    case 2:
        return extractN<2>(src, srcAlign, channels, count, frames, dst);
    case 3:
        return extractN<3>(src, srcAlign, channels, count, frames, dst);
    case 4:
        return extractN<4>(src, srcAlign, channels, count, frames, dst);
    case 8:
        return extractN<8>(src, srcAlign, channels, count, frames, dst);
    default:
        break;
    }
    for (qint64 f = 0; f < frames; ++f, src += srcAlign) {
        for (int c = 0; c < count; ++c, dst += bytesPerSample)
            std::memcpy(dst, src + qint64(channels[c]) * bytesPerSample, size_t(bytesPerSample));
    }
}

void SampleInterleaver::interleave(const char* const* sources, int count, int bytesPerSample,
                                   qint64 frames, char* dst)
{
    switch (bytesPerSample) {
    case 1:
        return interleaveN<1>(sources, count, frames, dst);
    case 2:
        return interleaveN<2>(sources, count, frames, dst);
    case 3:
        return interleaveN<3>(sources, count, frames, dst);
    case 4:
        return interleaveN<4>(sources, count, frames, dst);
    case 8:
        return interleaveN<8>(sources, count, frames, dst);
    default:
        break;
    }
    const qint64 stride = qint64(count) * bytesPerSample;
    for (int c = 0; c < count; ++c) {
        const char* s = sources[c];
        char* d = dst + qint64(c) * bytesPerSample;
        for (qint64 f = 0; f < frames; ++f, s += bytesPerSample, d += stride)
            std::memcpy(d, s, size_t(bytesPerSample));
    }
}

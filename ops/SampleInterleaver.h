#pragma once

#include <QtGlobal>

// Moves samples between interleaved frames and other layouts, as opaque
// groups of bytesPerSample bytes (any bit depth, integer or float, is copied
// unchanged). Counts are frames; strides and sizes are bytes. Pure functions,
// callable from any thread.
class SampleInterleaver
{
public:
    // Picks channels[0 .. count-1] (0-based, in that order) out of frames
    // interleaved frames of srcAlign bytes and writes them to dst as frames of
    // count samples. dst holds frames * count * bytesPerSample bytes.
    static void extract(const char* src, int srcAlign, int bytesPerSample, const int* channels,
                        int count, qint64 frames, char* dst);

    // Writes sample k of sources[0], sources[1], ... sources[count-1] as frame
    // k of dst, for k < frames. Each source holds frames samples.
    static void interleave(const char* const* sources, int count, int bytesPerSample, qint64 frames,
                           char* dst);
};

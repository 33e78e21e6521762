#pragma once

#include <cstdint>

// Time-of-day timecode of the simulated recorder.
namespace SimTimecode
{

// Packs h:m:s:f as the link carries it: byte 3 hours ... byte 0 frames.
uint32_t pack(unsigned hours, unsigned minutes, unsigned seconds, unsigned frames);

// Timecode of a moment given in microseconds since midnight, running at the
// real rate of the frame-rate code (23.976 for "23.97 ND" and so on) and
// labelled with its nominal frame count; drop-frame codes skip frame labels
// 0 and 1 at the start of every minute except every tenth. Codes outside the
// table run at 25 frames.
uint32_t timeOfDay(int64_t microsSinceMidnight, int frameRateCode);

// Elapsed time as h:m:s and hundredths.
uint32_t elapsed(int64_t micros);

} // namespace SimTimecode

#pragma once

#include <QString>

#include <array>

// Display tables of the R9K recorder's codes, indexed by the code the
// recorder returns (index 0 first), and the display formats of its values.
namespace constantsR9K
{

inline constexpr std::array<const char*, 13> sampleRateText = {
    "32k",   "44.1k", "47.952k", "47.952kF", "48k",    "48.048k", "48.048kF",
    "88.2k", "96k",   "96.096k", "96.096kF", "176.4k", "192k"};
inline constexpr std::array<const char*, 3> bitDepthText = {"24", "16", "16 no dither"};
inline constexpr std::array<const char*, 7> frameRateText = {
    "23.97 ND", "24 ND", "25 ND", "29.97 ND", "29.97 DF", "30 ND", "30 DF"};
inline constexpr std::array<const char*, 2> fileTypeText = {".wav poly", ".wav mono"};
inline constexpr std::array<const char*, 9> timeCodeModeText = {"Off",
                                                                "Free Run",
                                                                "Free Run - Jam Once",
                                                                "Record Run",
                                                                "24h Run",
                                                                "ExtTC",
                                                                "ExtTC/Cont",
                                                                "ExtTC - Auto Record",
                                                                "ExtTC/Cont - Auto Record"};
inline constexpr std::array<const char*, 3> meterBallisticsText = {"VU Only", "Peak Only",
                                                                   "Peak + VU"};
inline constexpr std::array<const char*, 12> trackLabelText = {"L", "R", "A", "B", "C",  "D",
                                                               "E", "F", "G", "H", "X1", "X2"};

// The table entry for a code; a code outside the table (a newer recorder, a
// corrupt value) is shown as "?" and the code, never used as an index.
template <std::size_t N> QString textFor(const std::array<const char*, N>& table, int code)
{
    if (code >= 0 && std::size_t(code) < N)
        return QString::fromLatin1(table[std::size_t(code)]);
    return QStringLiteral("?%1").arg(code);
}

// Packed time: byte 3 hours, byte 2 minutes, byte 1 seconds, byte 0 frames
// (timecode) or fraction (file time); each field decimal, at least 2 digits.
QString timecodeText(quint32 packed); // "hh:mm:ss:ff"
QString fileTimeText(quint32 packed); // "hh:mm:ss.ff"

// Transport state words for text output: "stop", "play", "record", else "?N".
QString transportText(int mode);

} // namespace constantsR9K

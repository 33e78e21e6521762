#pragma once

#include <QString>
#include <QtGlobal>

// How the take list orders its cells, as people number takes and read
// times. QtCore only; pure functions, any thread.
namespace TakeSortKey
{
// Compares a and b with runs of digits taken as numbers and everything else
// without regard to case: "2" < "10", "12A" < "12B" < "13", "sc9" < "SC10".
// Equal numbers with more leading zeros sort after ("7" < "07") so that the
// order is total. Negative, zero or positive like QString::compare.
int compareNatural(const QString& a, const QString& b);

// A timecode ("HH:MM:SS:FF", drop-frame "HH:MM:SS;FF") or a duration
// ("HH:MM:SS") as a number that sorts by time: milliseconds of the
// hours, minutes and seconds, plus the frame number (a frame is under a
// millisecond of order, never a whole second). -1 for an empty or
// unreadable text, which sorts before every time.
qint64 timeKey(const QString& text);
} // namespace TakeSortKey

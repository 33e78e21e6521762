#pragma once

#include <QFlags>

// The fields of the current take that the user has edited since the take
// was last saved, reverted or chosen: what a save writes and a revert
// restores.
enum class TakeField : quint16 {
    FrameRate = 1 << 0,
    SampleRate = 1 << 1,
    Project = 1 << 2,
    Scene = 1 << 3,
    Take = 1 << 4,
    Tape = 1 << 5,
    FileName = 1 << 6,
    Ubits = 1 << 7,
    Circled = 1 << 8,
    Wild = 1 << 9,
    Notes = 1 << 10,
    UserInfo = 1 << 11,
    Tracks = 1 << 12,
    SamplesSinceMidnight = 1 << 13, // the start timestamp
};
Q_DECLARE_FLAGS(TakeFields, TakeField)
Q_DECLARE_OPERATORS_FOR_FLAGS(TakeFields)

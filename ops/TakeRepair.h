#pragma once

#include <QString>

// Mends the size fields of a take whose recording was cut off (a power loss
// leaves the data size at 0, 0xFFFFFFFF or short, and the RIFF size stale)
// while its audio is in the file. Only the two 4-byte size fields are ever
// written, in place, flushed and synced; every other byte stays as it was.
// A take is repaired only when the reader's findings say exactly which
// fields are wrong; a chunk the reader could not follow is never guessed at.
class TakeRepair
{
public:
    enum class Verdict {
        Unreadable,   // not a take (message() says why)
        Undamaged,    // nothing to repair
        Repairable,   // changes() says what apply() will write
        NotRepairable // message() says what is wrong
    };

    // Reads the take at path (read-only) and works out the repair.
    explicit TakeRepair(const QString& path);

    Verdict verdict() const { return m_verdict; }
    // "data size 0 -> 95994, RIFF size 36 -> 96038": the fields apply() writes.
    QString changes() const;
    // Why the take cannot be read or repaired.
    const QString& message() const { return m_message; }

    // Writes the planned fields. Refuses (changing nothing) when the file no
    // longer holds what was read; afterwards the take must read undamaged.
    bool apply(QString* error);

private:
    void plan();
    // True when a known chunk stands right at the end of the file after the
    // audio: bytes the data size would then wrongly take in.
    bool chunkEndsTheFile(quint64* at) const;

    QString m_path;
    Verdict m_verdict = Verdict::Unreadable;
    QString m_message;
    quint64 m_fileSize = 0;
    quint64 m_dataBody = 0; // file offset of the data chunk's body
    quint32 m_oldData = 0;
    quint32 m_newData = 0;
    quint32 m_oldRiff = 0;
    quint32 m_newRiff = 0;
};

#pragma once

#include "TakeBatch.h"

#include <QString>

// The copy service: copies take files into a folder under their own names
// (AudioThread::Copy: headers written fresh, audio bytes unchanged). Used by
// the editor's Copy To and by "velmora-cli copy".
//
// A destination that is the source itself fails the file with
// AudioThread::kMsgSameSource. A file already at the destination is kept and
// the file skipped, unless overwriting was asked for: recorders reuse names
// such as T001.wav every day, so the file there may be a different take (and
// somebody's only copy of it). An overwrite replaces it only once the copy is
// complete. A damaged take (chunk sizes that disagree with the file) is
// refused (Outcome::Refused, AudioThread::damagedMessage) until it is repaired.
// The source is locked as a saver locks it (TakeLock) for the whole copy: a
// take being saved, or with a backup of an unfinished save beside it, is
// refused with the lock's reason.
class TakeCopier : public TakeBatch
{
    Q_OBJECT

public:
    explicit TakeCopier(QObject* parent = nullptr);

    void setDestination(const QString& folder) { m_folder = folder; }
    const QString& destination() const { return m_folder; }
    void setOverwrite(bool overwrite) { m_overwrite = overwrite; }

    // The path source gets in folder.
    static QString destinationFor(const QString& folder, const QString& source);

protected:
    bool startItem(ItemResult& r) override;

private:
    QString m_folder;
    bool m_overwrite = false;
};

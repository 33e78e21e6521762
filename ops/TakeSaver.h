#pragma once

#include "TakeBatch.h"
#include "TakeEdits.h"

#include <QStringList>
#include <QVector>

#include <memory>

class AudioFile;

// The save service: writes a set of edited fields into take files, one file
// after another, on the per-file runner (TakeBatch). For each file it opens
// the take, applies the edits (TakeEdits::applyTo), runs AudioThread::Update
// with the "_updatebackup" backup path, and deletes the backup only when this
// run made it and the file was completed (Outcome::Done; inPlace tells an
// in-place update from a rewrite). Backups that were already on the disk (an
// earlier failed save may have left the only intact copy of a take) are never
// touched: such a take is refused.
//
// Each take is locked (TakeLock) before it is read and until its backup is
// gone, so that no other saver (another window, another process) edits it
// meanwhile; a take that is locked fails at once with a message naming it.
// A symbolic link is followed: the file it leads to is edited. Every failure
// is Outcome::Failed; a damaged take, or one whose iXML did not parse, says
// so in ItemResult::damaged or ItemResult::ixmlError.
class TakeSaver : public TakeBatch
{
    Q_OBJECT

public:
    // One file and the edits to write into it (each take of a save may have
    // its own values: its own timestamp after a rate change, its own tracks).
    struct Job {
        QString path;
        TakeEdits edits;
    };

    explicit TakeSaver(QObject* parent = nullptr);
    ~TakeSaver() override;

    // path with "_updatebackup" inserted before its last "." (T012_3.wav gives
    // T012_3_updatebackup.wav), or appended when the name has no extension.
    static QString backupPathFor(const QString& path);

    // Starts saving edits into paths. multi: the files belong to several takes
    // (the take name is then not written). stopOnError: a failed file ends the
    // run (the editor's save); otherwise the remaining files are still saved.
    // False when a run is already going or there is nothing to save.
    bool start(const QStringList& paths, const TakeEdits& edits, bool multi = false,
               bool stopOnError = true);
    // The same with edits of their own for each file, written in order.
    bool start(const QVector<Job>& jobs, bool multi = false, bool stopOnError = true);

    // start() and wait for finished(); returns one result per file handled.
    QVector<ItemResult> run(const QStringList& paths, const TakeEdits& edits, bool multi = false,
                            bool stopOnError = false);

protected:
    bool startItem(ItemResult& r) override;
    void itemSucceeded(ItemResult& r) override;
    void itemEnded() override;

private:
    QVector<Job> m_jobs;
    bool m_multi = false;
    std::unique_ptr<AudioFile> m_file;
    QString m_backup; // backup path of the file in progress, as Update chose it
};

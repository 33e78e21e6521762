#pragma once

#include "AudioThread.h"
#include "TakeEdits.h"
#include "TakeLock.h"

#include <QObject>
#include <QStringList>
#include <QVector>

#include <memory>

// The save service: writes a set of edited fields into take files, one file
// after another, through its own AudioThread. For each file it opens the take,
// applies the edits (TakeEdits::applyTo), runs AudioThread::Update with the
// "_updatebackup" backup path, waits for the final state, and deletes the
// backup only when this run made it and the file was completed. Backups that
// were already on the disk (an earlier failed save may have left the only
// intact copy of a take) are never touched: such a take is refused.
//
// Each take is locked (TakeLock) before it is read and until its backup is
// gone, so that no other saver (another window, another process) edits it
// meanwhile; a take that is locked is refused at once with a message naming
// it. A symbolic link is followed: the file it leads to is edited.
//
// Threading: a QObject of the owner's thread (the GUI thread, or a tool's
// main thread); start() returns at once and the run advances on that thread's
// event loop, reporting through the signals below, so a window can drive its
// progress dialog from them and stop the run with cancel() or abort(). run()
// is the blocking form for tools.
class TakeSaver : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        UpdatedInPlace, // the chunks were rewritten inside the file
        Rewritten,      // the file was written anew from its backup
        Failed,         // nothing changed, or the take was put back as it was
        Cancelled,      // stopped by abort(); the take is as it was
    };
    struct FileResult {
        QString path;
        Outcome outcome = Outcome::Failed;
        QString error; // reason of a failure, empty otherwise
    };

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
    // Ends the run after the file in progress.
    void cancel();
    // Ends the run now: the file in progress is put back as it was.
    void abort();
    bool isRunning() const { return m_running; }
    const QVector<FileResult>& results() const { return m_results; }

    // start() and wait for finished(); returns one result per file handled.
    QVector<FileResult> run(const QStringList& paths, const TakeEdits& edits, bool multi = false,
                            bool stopOnError = false);

signals:
    void fileStarted(int index, const QString& path);
    // percent of the file in progress (0..100); overall = index * 100 + percent.
    void fileProgress(int index, quint32 percent);
    void fileFinished(int index, const TakeSaver::FileResult& result);
    // All files handled, or the run was stopped. ok: every file handled succeeded.
    void finished(bool ok);

private slots:
    void on_progressUpdate(int state, quint32 value);

private:
    void startNext();
    void finishFile(Outcome outcome, QString error); // by value: may come from m_file
    void complete();

    // Declared before m_thread: a rewrite stopped by m_thread's destructor
    // puts its take back before the take is unlocked.
    std::unique_ptr<TakeLock> m_lock; // the take of the file in progress
    AudioThread m_thread;
    QVector<Job> m_jobs;
    bool m_multi = false;
    bool m_stopOnError = true;
    bool m_running = false;
    bool m_stopAfterFile = false;
    bool m_aborted = false;
    bool m_inUpdateCall = false; // inside AudioThread::Update (the in-place DONE arrives there)
    bool m_fastDone = false;
    bool m_ok = true;
    int m_index = -1;
    std::unique_ptr<AudioFile> m_file;
    QString m_backup; // backup path of the file in progress, as Update chose it
    QVector<FileResult> m_results;
};

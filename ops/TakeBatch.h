#pragma once

#include "AudioThread.h"
#include "TakeLock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// The per-file job runner of the services that write take files (save,
// rename, copy): one AudioThread operation per file, one file after another.
// A subclass decides for each file what to do (startItem) and may finish the
// file's work once the operation has succeeded (itemSucceeded); the runner
// keeps the state machine: the worker's final state (which an in-place update
// sends from inside startItem), cancel and abort, stop on error, the take
// lock of the file in progress, and one result per file handled.
//
// Threading: a QObject of the owner's thread (the GUI thread, or a tool's
// main thread); start() returns at once and the run advances on that
// thread's event loop, reporting through the signals, so a window can follow
// it with a progress dialog and stop it with cancel() or abort(). run() is
// the blocking form for tools.
class TakeBatch : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,      // the file was saved, renamed or copied
        Skipped,   // nothing was done: the reason says why (target exists, same name...)
        Refused,   // nothing was done because doing it would be unsafe; reported to the user
        Failed,    // the operation failed; the source is as it was
        Cancelled, // stopped by abort(); the source is as it was, no partial output left
    };
    struct ItemResult {
        QString source;
        QString target; // the path written, or that would have been written
        Outcome outcome = Outcome::Failed;
        QString reason; // why it was skipped, refused or failed; empty when done
        // Done by patching the metadata inside the file (no worker run).
        bool inPlace = false;
        // Not written because its chunk sizes disagree with the file.
        bool damaged = false;
        // Not written because its iXML did not parse: the parser's message.
        // Writing it with the iXML rebuilt (TakeEdits::rebuildIxml) may succeed.
        QString ixmlError;
    };

    explicit TakeBatch(QObject* parent = nullptr);
    ~TakeBatch() override;

    // Starts the run over sources. stopOnError: a failed file ends the run.
    // False when a run is already going or sources is empty.
    bool start(const QStringList& sources, bool stopOnError = true);
    // Ends the run after the file in progress.
    void cancel();
    // Ends the run now: the operation in progress is stopped and puts its
    // take back as it was (a rewrite) or removes its partial output.
    void abort();
    bool isRunning() const { return m_running; }
    const QVector<ItemResult>& results() const { return m_results; }

    // start() and wait for finished(); returns one result per file handled.
    QVector<ItemResult> run(const QStringList& sources, bool stopOnError = false);

signals:
    void itemStarted(int index, const QString& source);
    // percent of the file in progress (0..100); overall = index * 100 + percent.
    void itemProgress(int index, quint32 percent);
    void itemFinished(int index, const TakeBatch::ItemResult& result);
    // All files handled or the run stopped. ok: no file failed or was cancelled.
    void finished(bool ok);

protected:
    // Begins the work for r.source (r.target may be set). Returns true when an
    // operation was started on thread() (its final state follows, or has
    // arrived already for an in-place update); false when the file is finished
    // without one, with r.outcome and r.reason set.
    virtual bool startItem(ItemResult& r) = 0;
    // Called when the operation of r succeeded, before itemFinished; may turn
    // r into a failure (r.outcome, r.reason).
    virtual void itemSucceeded(ItemResult& r) { Q_UNUSED(r); }
    // Called when the file's work ends any other way, before itemFinished.
    virtual void itemEnded() {}
    AudioThread& thread() { return m_thread; }
    // The reason of a worker failure that gave none.
    void setFailureText(const QString& text) { m_failureText = text; }
    // Locks the take at path (TakeLock) until the file is finished, after
    // itemSucceeded. False, with the reason in *error, when another saver
    // holds it or a backup of an unfinished save lies beside it.
    bool lockTake(const QString& path, QString* error);
    // The worker's reason for its last failure, or the failure text.
    QString workerError() const;
    // The files of the run, and the position of the one being started.
    const QStringList& sources() const { return m_sources; }
    int currentIndex() const { return m_index; }

private slots:
    void on_progressUpdate(int state, quint32 value);

private:
    void startNext();
    void finishItem(Outcome outcome, const QString& reason);
    void complete();

    // Declared before m_thread: an operation stopped by m_thread's destructor
    // ends (and puts its take back) before its take is unlocked.
    std::unique_ptr<TakeLock> m_lock;
    AudioThread m_thread;
    QStringList m_sources;
    ItemResult m_current;
    QString m_failureText = QStringLiteral("the operation failed");
    bool m_stopOnError = true;
    bool m_running = false;
    bool m_stopAfterItem = false;
    bool m_aborted = false;
    bool m_inStartItem = false; // an in-place update reports its end from inside startItem
    bool m_fastDone = false;
    bool m_fastFailed = false;
    bool m_ok = true;
    int m_index = -1;
    QVector<ItemResult> m_results;
};

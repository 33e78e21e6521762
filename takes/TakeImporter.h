#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <memory>

class AudioFileModel;
class QThread;

// One take as an import found it: the 31 cells of its row and its side tables,
// ready to be added to the take list.
struct StagedTake {
    QStringList cells;
    QList<QStringList> tracks;
    QList<QStringList> syncPoints;
    QStringList fileSet;
    QStringList history;
};

// Reads take files and groups them into takes on a worker thread, so that the
// window stays responsive during a long import; the takes are then added to
// the take list on the GUI thread by addTo(). One import at a time.
//
// Files are only read (AudioFile::Open); a path that does not exist is never
// created. The worker builds the takes exactly as an import into the take
// list does (AudioFileModel::setModelData on a private model), so grouping,
// claiming and duplicate rules are the model's own.
class TakeImporter : public QObject
{
    Q_OBJECT

public:
    struct Request {
        QStringList paths;
        // True: a folder brings its take files (one level) and a file is read
        // whatever its suffix. False: paths are files and are read as given.
        bool expandFolders = false;
    };

    explicit TakeImporter(QObject* parent = nullptr);
    // Cancels a running import and waits for its worker.
    ~TakeImporter() override;

    // Starts an import; false (nothing started) while one runs.
    bool start(const Request& request);
    bool isRunning() const;
    // Asks the running import to stop; it then finishes without takes.
    void cancel();

    // Progress of the running import (any thread): files read so far and the
    // number of files to read (0 until the folders are listed).
    int filesRead() const { return m_shared ? m_shared->read.load() : 0; }
    int filesTotal() const { return m_shared ? m_shared->total.load() : 0; }

    // After finished(): the takes found, in import order, and how many files
    // gave no take (unreadable, or placed in no take). Taking them clears them.
    QVector<StagedTake> takeResult();
    int filesRejected() const { return m_rejected; }
    bool wasCancelled() const { return m_cancelled; }

    // Adds the staged takes that the model does not list yet (same name and
    // label, any letter case) and whose file still exists, in order. Returns
    // the number of rows added.
    static int addTo(AudioFileModel& model, const QVector<StagedTake>& takes);

    // The files a request reads, in order (folders listed when expandFolders).
    static QStringList expand(const Request& request);

signals:
    // Emitted on the thread that owns the importer once the worker has ended.
    void finished();

private:
    // What the worker and the GUI thread share; the worker keeps it alive
    // even if the importer is destroyed first.
    struct Shared {
        std::atomic<int> read{0};
        std::atomic<int> total{0};
        std::atomic<bool> cancel{false};
        QVector<StagedTake> takes; // written by the worker, read after it ended
        int rejected = 0;
    };
    static void run(Shared& shared, const Request& request);
    void onWorkerFinished();

    std::shared_ptr<Shared> m_shared;
    QThread* m_thread = nullptr;
    QVector<StagedTake> m_result;
    int m_rejected = 0;
    bool m_cancelled = false;
};

#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

class AudioFileModel;
class QThread;
class TakeFolderCache;

// One take as an import found it: the 31 cells of its row, its files in
// channel order and its side tables, ready to be added to the take list.
struct StagedTake {
    QStringList cells;
    QStringList files;
    QList<QStringList> tracks;
    QList<QStringList> syncPoints;
    QStringList fileSet;
    QStringList history;
    QString damage; // AudioFileModel::damage
};

// A path of an import that brought no take, and why.
struct ImportRejection {
    enum class Reason {
        Missing,     // the path does not exist (reported by the command line only)
        NotTakeName, // a file without a take-file suffix (command line only)
        NotOpened,   // the file does not open as a take file (detail: the reader's error)
        NotGrouped,  // its channel index is outside 0..63 or its slot was taken
    };
    QString path;
    Reason reason = Reason::NotOpened;
    QString detail;
    int channelIndex = 0; // NotGrouped: the file's channel index
};

// The one import path of the take list, the editor and "velmora-cli takes":
// reads take files and groups them into takes, on a worker thread (start())
// or on the calling thread (read()); the takes are then added to a take list
// on its own thread by addTo(). One import at a time per importer.
//
// Files are only read (AudioFile::Open); a path that does not exist is never
// created. Each file's record is closed as soon as its grouping values (and,
// for a file that may lead its take, its row and side tables) are kept.
// Grouping and claiming go through a folder pool (TakePool) per run of files
// from one folder, and the duplicate rule is the take list's own
// (AudioFileModel::takeKey).
class TakeImporter : public QObject
{
    Q_OBJECT

public:
    // Where the paths of an import come from.
    enum class Origin {
        Dialog, // files chosen by name: folders and names without a take suffix are passed over
        Drop,   // dropped files and folders: a folder brings its take files (one level),
                // a file is read whatever its suffix
        CommandLine, // as Drop, but a missing path and a file without a take suffix are
                     // rejected without being read
    };
    struct Request {
        QStringList paths;
        Origin origin = Origin::Dialog;
        // The folder indexes of the take list the takes go to (shared, so that
        // a worker outliving its importer still has them); null: a cache for
        // this read only.
        std::shared_ptr<TakeFolderCache> cache;
    };
    // Progress of a read, for any thread.
    struct Progress {
        std::atomic<int> read{0};
        std::atomic<int> total{0}; // 0 until the folders are listed
        std::atomic<bool> cancel{false};
    };
    struct Outcome {
        QVector<StagedTake> takes;         // in import order
        QVector<ImportRejection> rejected; // in the order the paths were met
        bool cancelled = false;
    };

    explicit TakeImporter(QObject* parent = nullptr);
    // Cancels a running import and waits for its worker.
    ~TakeImporter() override;

    // Receives each take as soon as it is staged, in import order.
    using TakeSink = std::function<void(StagedTake&&)>;

    // Reads request on the calling thread. progress, when given, is updated as
    // files are read and stops the read when its cancel flag is set. With a
    // sink the takes go to it, one at a time, instead of into Outcome::takes,
    // so that a caller that writes them out need not hold them all.
    static Outcome read(const Request& request, Progress* progress = nullptr,
                        const TakeSink& sink = {});

    // Starts an import on a worker thread; false (nothing started) while one runs.
    bool start(const Request& request);
    bool isRunning() const;
    // Asks the running import to stop; it then finishes without takes.
    void cancel();

    // Progress of the running import: files read so far and the number of
    // files to read (0 until the folders are listed).
    int filesRead() const { return m_shared ? m_shared->progress.read.load() : 0; }
    int filesTotal() const { return m_shared ? m_shared->progress.total.load() : 0; }

    // After finished(): the takes found, in import order, and how many files
    // gave no take (unreadable, or placed in no take). Taking them clears them.
    QVector<StagedTake> takeResult();
    int filesRejected() const { return m_rejected; }
    bool wasCancelled() const { return m_cancelled; }

    // Adds the staged takes that the model does not list yet (same name and
    // label, any letter case) and whose file still exists, in order. Returns
    // the number of rows added.
    static int addTo(AudioFileModel& model, const QVector<StagedTake>& takes);
    // The same for one take; true when it was added.
    static bool addTo(AudioFileModel& model, const StagedTake& take);

    // The files a request reads, in order; paths the request's origin
    // rejects without reading are appended to rejected (when given).
    static QStringList expand(const Request& request, QVector<ImportRejection>* rejected = nullptr);

signals:
    // Emitted on the thread that owns the importer once the worker has ended.
    void finished();

private:
    // What the worker and the owning thread share; the worker keeps it alive
    // even if the importer is destroyed first.
    struct Shared {
        Progress progress;
        Outcome outcome; // written by the worker, read after it ended
    };
    void onWorkerFinished();
    void stopWorker();

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<QThread> m_thread;
    QVector<StagedTake> m_result;
    int m_rejected = 0;
    bool m_cancelled = false;
};

#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class AudioThread;
class TakeSession;

// What the Split/Combine window runs, without widgets: turns the cells
// selected in its grids into split and combine operations on the takes of a
// session's take list, runs them one after another on its own AudioThread,
// and ends every run with one message: "Done." (with the takes it skipped
// and why), "Failed." and the reason, or "Cancelled.".
//
// Data safety: a take whose files on disk are no longer the take that was
// listed is reported, never split or combined; an output name that exists
// is replaced only after the user said so once for the run (Replace, Skip
// or Cancel), and a file written earlier in the same run is never replaced;
// the worker moves outputs into place only when complete, so a failed or
// cancelled operation leaves every earlier file as it was.
//
// GUI thread only; the worker reports through queued signals, so the caller
// stays responsive while a run goes on.
class SplitCombineBatch : public QObject
{
    Q_OBJECT

public:
    // A selected grid cell. Split grid: row = source track, column = output
    // file. Batch combine grid: row = file of the take, column = output track.
    struct Cell {
        int row = 0;
        int column = 0;
    };
    // One output of the split rule: "_1_3" and the source channels (bit c:
    // track c + 1).
    struct SplitOutput {
        QString suffix;
        unsigned mask = 0;
    };
    enum class Answer { Replace, Skip, Cancel };
    // Asked once per run, the first time output names exist already.
    using AskExisting = std::function<Answer(const QStringList& existing)>;

    explicit SplitCombineBatch(TakeSession* session, QObject* parent = nullptr);
    ~SplitCombineBatch() override;

    // --- The rules -------------------------------------------------------
    // Outputs in column order; a column without a selected cell gives none.
    static QList<SplitOutput> splitRule(const QList<Cell>& selected);
    // folder/<source base name><suffix>.<source extension>
    static QString splitOutputPath(const QString& folder, const QString& source,
                                   const QString& suffix);
    // The combine of one take of files by the batch grid: for each column
    // (output track) below the file count, the files of its selected cells
    // in row order. output: folder/<first name up to its last "_"><"_n" per
    // source><extension>. False when no selected cell applies to the take.
    static bool batchCombinePlan(const QString& folder, const QStringList& files,
                                 const QList<Cell>& selected, QString* output,
                                 QStringList* sources);

    // --- The take list ----------------------------------------------------
    // Paths of the polyphonic takes, in model order.
    QStringList polyTakes() const;
    // The files of every mono take, in model order; takes whose files changed
    // on disk are left out.
    QList<QStringList> monoTakes() const;
    // The files of the take of row as listed, in channel order; empty with the
    // reason in *why when they cannot be read or are no longer the listed take.
    QStringList takeFiles(int row, QString* why) const;

    // --- Runs --------------------------------------------------------------
    // Each returns the warning to show when nothing starts, else an empty text
    // (the run then ends with finished()).
    QString startSplit(const QString& folder, const QList<Cell>& selected);
    QString startBatchCombine(const QString& folder, const QList<Cell>& selected);
    // sources: the files of the selected cells in output track order.
    QString startManualCombine(const QString& folder, const QString& name,
                               const QStringList& sources);
    // Stops the run: the output being written is removed; files already
    // written stay. finished() follows at once.
    void cancel();
    bool isRunning() const { return m_running; }

    void setAskExisting(AskExisting ask) { m_ask = std::move(ask); }

signals:
    // Percentage of the operation being run.
    void progress(int percent);
    void finished(const QString& message);

private:
    struct Job {
        QString take;      // bare name shown in the summary
        QString source;    // split
        QStringList paths; // split: outputs; combine: sources
        QVector<unsigned> masks;
        QString output; // combine
        QString skip;   // why the take is not processed (planning found it)
    };
    void begin(int mode);
    void runNext();
    bool startJob(Job& job);
    void onProgress(int state, quint32 value);
    void skipTake(const QString& take, const QString& why);
    void end(const QString& message);
    bool settleExisting(Job& job);

    TakeSession* m_session;
    AudioThread* m_thread; // child
    AskExisting m_ask;
    QList<Job> m_jobs;
    int m_index = 0;
    int m_mode = 0; // 0 split, 1 manual combine, 2 batch combine
    bool m_running = false;
    int m_outstanding = 0;   // operations started whose final signal has not arrived
    int m_staleFinals = 0;   // of those, the ones cancelled
    int m_existing = 0;      // 0 not asked, 1 replace, 2 skip
    QSet<QString> m_written; // outputs of this run
    QStringList m_skipped;   // "take: reason"
};

#pragma once

#include "TakeBatch.h"
#include "TakeSaver.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <functional>

class AudioFileModel;
class TakeCopier;
class TakeRenamer;

// The save, rename and copy jobs of one take list, one at a time, each run
// file by file on its service (TakeSaver, TakeRenamer, TakeCopier share one
// runner). Keeps what a window shows of them: the progress of the whole job,
// the first failure and the notes of files skipped or refused, and the
// message to show at the end; asks its questions through callbacks (the GUI
// answers them with message boxes, a test or a tool directly).
//
// A save remembers each file it wrote with the exact edits it got: after a
// failure or cancel the next save leaves out the files written with the same
// edits (forgetWrittenFiles() when the edits are saved, discarded or
// reverted). A save that fails because a take's iXML does not parse asks
// whether to rebuild it (Questions::rebuildIxml) and on yes runs the save
// again with TakeEdits::rebuildIxml for that file.
//
// QtCore only; lives on the GUI thread. The model is not owned: a rename
// writes the new paths and names of its rows into it.
class TakeJobs : public QObject
{
    Q_OBJECT

public:
    enum class Kind { None = -1, Copy = 0, Rename = 1, Save = 2, Delete = 3 };
    // The answers to a question about unsaved edits: write them, throw them
    // away, or neither (the user goes on editing).
    enum class Answer { Save, Discard, Cancel };

    // The questions a job (or the session before one) may ask; an unset
    // one is answered no.
    struct Questions {
        // fileName's iXML does not parse (parserMessage): rebuild it from the
        // fields that were read, losing anything else it held?
        std::function<bool(const QString& fileName, const QString& parserMessage)> rebuildIxml;
        // The edits change a rate: save them, discard them, or keep them
        // unsaved?
        std::function<Answer()> confirmRateChange;
        // The list is about to drop takeName, whose edits are not saved.
        std::function<Answer(const QString& takeName)> unsavedEdits;
        // Another listed take has this scene and take: save with "+" before
        // the scene (else the edits are discarded)?
        std::function<bool()> confirmDuplicate;
        // Something to tell the user, nothing to answer.
        std::function<void(const QString& text)> warn;
    };

    // How a job ended, for the window to show. A take counts as done when
    // every one of its files is.
    struct Result {
        Kind kind = Kind::None;
        bool ok = false; // every file done
        QString message; // the warning to show (empty: none)
        QString detail;  // its details (the first failure)
        QString notes;   // files skipped or refused (empty: none)
        bool cancelled = false;
        int takes = 0;     // the takes the job was given
        int done = 0;      // of them, done
        int unchanged = 0; // renamed to the name they had
        int skipped = 0;   // left as they were for a reason skips names
        QStringList skips; // why, one short line per file ("12AT01.WAV exists")
    };
    // The status-bar line for result: "3 takes saved", "2 takes renamed,
    // 1 skipped: 12AT01.WAV exists".
    static QString summary(const Result& result);

    using TakeOf = QHash<QString, int>;

    TakeJobs(AudioFileModel* model, QObject* parent = nullptr);
    ~TakeJobs() override;

    void setQuestions(const Questions& questions) { m_questions = questions; }
    const Questions& questions() const { return m_questions; }

    // Starts a save of jobs (multi: the files belong to several takes). The
    // files written already with the same edits by an earlier failed save are
    // left out; with none left the job ends at once as done. False when a
    // job is running.
    // takeOf gives the take of each file (files of one take share a number)
    // for the counts of the result; a file it lacks is a take of its own.
    bool startSave(const QVector<TakeSaver::Job>& jobs, bool multi, const TakeOf& takeOf = {});
    // Renames files after their scene and take.
    bool startRename(const QStringList& files, const TakeOf& takeOf = {});
    // Copies files into folder (files already there are kept and noted).
    bool startCopy(const QStringList& files, const QString& folder, const TakeOf& takeOf = {});
    // Stops the running job now; the file in progress is put back as it was.
    void cancel();

    bool isRunning() const;
    Kind kind() const { return m_kind; }
    const QHash<QString, TakeEdits>& writtenFiles() const { return m_writtenFiles; }
    void forgetWrittenFiles() { m_writtenFiles.clear(); }

signals:
    // A job began over files (progress runs from 0 to files * 100).
    void started(TakeJobs::Kind kind, int files);
    // Progress of the running job, at most once per event-loop turn.
    void progress(int value);
    // The job ended; the job state is already reset.
    void finished(const TakeJobs::Result& result);

private:
    bool begin(Kind kind, int files);
    void onItemProgress(int index, quint32 percent);
    void onItemFinished(int index, const TakeBatch::ItemResult& result);
    void onRunFinished();
    void setProgress(int value);
    void end(bool ok, const QString& message, const QString& detail = QString());
    void countTakes(Result& r) const;
    void updateRenamedRow(const QString& oldPath, const QString& newPath);

    AudioFileModel* m_model;
    TakeSaver* m_saver;     // child
    TakeRenamer* m_renamer; // child
    TakeCopier* m_copier;   // child
    Questions m_questions;

    Kind m_kind = Kind::None;
    int m_done = 0;  // files finished in the running job
    int m_total = 0; // files of the running job
    int m_progressValue = 0;
    bool m_progressQueued = false;
    bool m_cancelled = false;
    QString m_error;   // the first failure
    QString m_message; // the message for it, when not the general one
    QStringList m_notes;
    QHash<QString, int> m_takeOf;
    QStringList m_files;               // every file of the running job
    QHash<QString, int> m_fileOutcome; // TakeBatch::Outcome, or -1: left as named
    QStringList m_skips;
    // The running save: all its jobs, the ones handed to the saver, and the
    // file whose iXML did not parse (with the parser's message).
    QVector<TakeSaver::Job> m_saveJobs;
    QVector<TakeSaver::Job> m_pendingJobs;
    bool m_multi = false;
    QString m_ixmlPath;
    QString m_ixmlError;
    QHash<QString, TakeEdits> m_writtenFiles;
};

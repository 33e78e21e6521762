#pragma once

#include "TakeEditFlags.h"
#include "TakeFileRemover.h"
#include "TakeImporter.h"
#include "TakeJobs.h"

#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QPair>
#include <QStringList>

#include <functional>
#include <memory>

class AudioFileModel;
class TakeFolderCache;
class TakeCommands;
class TakeEditState;
class TakeJobs;

// The take list of one window and what belongs to it: the model, the folder
// indexes behind take grouping, the import queue, clearing and deleting
// takes, the current take with its edited fields, and the signals the other
// windows (transport, mixer, reports, split/combine) follow instead of the
// editor widget. QtCore only; lives on the GUI thread. Files are read on the
// import worker; rows change on this thread only.
class TakeSession : public QObject
{
    Q_OBJECT

public:
    explicit TakeSession(QObject* parent = nullptr);
    // Removes every row first (one take at a time, as a clear does), so that
    // every watcher of the model sees the takes go before the model does.
    ~TakeSession() override;

    AudioFileModel* model() const { return m_model; }
    TakeFolderCache& folderCache() const { return *m_cache; }
    // The save, rename and copy jobs of this take list.
    TakeJobs* jobs() const { return m_jobs; }
    // The edits of the current take: edit, revert, rates, save preparation.
    TakeEditState& editState() const { return *m_editState; }
    // The commands of the take list and the enabling of their controls.
    TakeCommands* commands() const { return m_commands; }

    // --- Import ---------------------------------------------------------
    // Queues an import of paths; imports run one after another on a worker
    // thread. importStarted() and importFinished() frame each one.
    void importPaths(const QStringList& paths, TakeImporter::Origin origin);
    bool isImporting() const;
    void cancelImport();
    int importFilesRead() const;
    int importFilesTotal() const;

    // --- Clear and delete -----------------------------------------------
    // Removes the takes of rows (model coordinates) from the list; files are
    // not touched. Edits of the current take go when it is removed.
    void removeTakes(const QList<int>& rows);
    // Deletes the files of the take of row from disk (nothing when its files
    // on disk no longer match the listed take); the row stays listed.
    TakeFileRemover::Result deleteTakeFiles(int row) const;
    // Deletes the files of the takes of rows (model coordinates) and removes
    // the rows whose files are gone (or never opened). A take that is playing
    // (playingRow) or whose files changed or failed to go stays listed, with
    // a line in the result's notes saying why; statusLine() tells the
    // result's summary.
    TakeJobs::Result deleteTakes(const QList<int>& rows, int playingRow);

    // --- The current take -----------------------------------------------
    // The take the editor shows and the selected takes, in model coordinates.
    void setCurrentTake(const QModelIndex& current, const QList<QModelIndex>& selected);
    QModelIndex currentTake() const { return m_current; }
    int currentRow() const { return m_current.isValid() ? m_current.row() : -1; }

    // The fields of the current take edited since it was chosen or saved.
    TakeFields editedFields() const { return m_edited; }
    bool isEdited(TakeField field) const { return m_edited.testFlag(field); }
    void markEdited(TakeField field);
    // The current take has edits that are not in its files.
    bool hasUnsavedEdits() const { return m_edited != TakeFields(); }
    // row (model coordinates) is the current take and has unsaved edits.
    bool isUnsaved(int row) const { return hasUnsavedEdits() && row == currentRow(); }

    // Before rows (model coordinates) leave the list, or (allRows) before
    // the whole list goes with the window: when the current take is among
    // them with unsaved edits, asks Questions::unsavedEdits. Save starts
    // saveSelected() and runs then once it has saved every file; Discard
    // puts the file's values back; Cancel (or no answer) changes nothing.
    // True when the caller may go on now.
    bool settleEdits(const QList<int>& rows, bool allRows, const std::function<void()>& then);
    // No field is edited any more (saved, discarded or reverted): the files
    // a failed save wrote are no longer pending either.
    void clearEdits();
    // Puts the take file's own values back into the current take's row and
    // drops its edits; currentTakeRefreshed() follows.
    void discardEdits();

    // --- Saving the edits ---------------------------------------------------
    // Saves the edits of the current take into its files, or (multi) into
    // the files of the takes of rows, through jobs(): asks first about a rate
    // change and a scene/take another take has (a no discards the edits);
    // warns while a job runs or when a take's files do not open. True when
    // the save started. After it the edits are gone (saved), or, on a
    // failure, kept with the other takes showing their files again.
    bool saveEdits(const QList<int>& rows, bool multi, bool preserveStartTC);
    // saveEdits() of the selected takes (several: multi), keeping the start
    // timecode as setPreserveStartTC() last said.
    bool saveSelected();
    void setPreserveStartTC(bool preserve) { m_preserveStartTC = preserve; }

    // Renames the files of the takes of rows after their scene and take, or
    // copies them into folder, through jobs(). Refuses (false, with the
    // reason through the jobs' warn question) when rows give no file or a
    // file would be copied onto itself; false too while a job runs.
    bool renameTakes(const QList<int>& rows);
    bool copyTakes(const QList<int>& rows, const QString& folder);

    // --- Playback ---------------------------------------------------------
    // Asks whoever plays takes to play the take of index (model coordinates);
    // Rename, Clear and Delete are locked until it stops.
    void requestPlay(const QModelIndex& index);
    // Asks whoever plays takes to stop; the lock goes.
    void requestStop();
    // Whoever plays takes reports: index (model coordinates) plays, or
    // nothing plays any more.
    void playStarted(const QModelIndex& index);
    void playStopped();
    // The row of the take that plays, else -1.
    int playingRow() const { return m_playing.isValid() ? m_playing.row() : -1; }
    // Tells the windows that show tracks that the take of index has new ones.
    void notifyTracksChanged(const QModelIndex& index) { emit tracksChanged(index); }

signals:
    void importStarted();
    // The takes of an import are about to go into the model (a view may stop
    // sorting until importFinished()).
    void takesAboutToBeAdded();
    // An import ended: rows added, and files that gave no take.
    void importFinished(int takesAdded, int filesRejected);
    void currentTakeChanged(const QModelIndex& current, const QList<QModelIndex>& selected);
    void tracksChanged(const QModelIndex& index);
    void playRequested(const QModelIndex& index);
    // The current take's row changed under the editor (its edits were
    // discarded, or its scene prefixed): a view shows it again.
    void currentTakeRefreshed();
    void stopRequested();
    // Rows of the model, first .. last, were added or removed.
    void takesInserted(int first, int last);
    void takesRemoved(int first, int last);
    // The current take has unsaved edits now, or no longer.
    void unsavedChanged(bool unsaved);
    // A save, rename, copy or delete ended: one line saying what happened.
    void statusLine(const QString& text);

private:
    void startNextImport();
    void onImportDone();

    AudioFileModel* m_model = nullptr; // child
    std::shared_ptr<TakeFolderCache> m_cache;
    TakeImporter* m_importer = nullptr; // child
    TakeJobs* m_jobs = nullptr;         // child
    std::unique_ptr<TakeEditState> m_editState;
    TakeCommands* m_commands = nullptr; // child
    QList<QPair<QStringList, TakeImporter::Origin>> m_importQueue;
    void onJobFinished(const TakeJobs::Result& result);

    QPersistentModelIndex m_current;
    QPersistentModelIndex m_playing;
    QList<QPersistentModelIndex> m_selected;
    bool m_preserveStartTC = true;
    std::function<void()> m_afterSave;       // what settleEdits() left for a save
    QList<QPersistentModelIndex> m_saveRows; // a save of several takes
    TakeFields m_edited;
};

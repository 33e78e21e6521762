#pragma once

#include "TakeCommands.h"
#include "TakeEditFlags.h"
#include "TakeEditorForm.h"
#include "TakeJobs.h"
#include "TakeSession.h"

#include <QItemSelection>
#include <QList>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QWidget>

#include <functional>

class AudioFileModel;
class EditTC;
class ImportProgress;
class JobProgress;
class QLabel;
class QProgressDialog;
class QSortFilterProxyModel;
class RateControls;
class TakePages;

// The editor of edit mode: the take list of a TakeSession and, beside it,
// the metadata of the current take on two pages. It shows the session and
// forwards the user's actions: edits go into the session's edit state
// (TakeEditState) and touch no file until saved; imports, clears, deletes,
// saves, renames and copies are the session's, the editor answering their
// questions (EditorQuestions) and following a job with a window-modal
// progress dialog that offers Cancel. Controls follow the session's commands
// (TakeCommands): commands provided elsewhere stay off until declared with
// setCommandAvailable(). The take with unsaved edits is marked in the list
// (TakeListProxy). GUI thread only; the session is not owned.
class FileListManagement : public QWidget
{
    Q_OBJECT

public:
    using Command = TakeCommands::Command;
    using Control = TakeCommands::Control;

    // What an import is given: files chosen in the file dialog (only take
    // file names are read), or dropped files and folders (a folder brings its
    // take files, one level; a file is read whatever its suffix).
    using ImportOrigin = TakeImporter::Origin;

    // Shows session (not owned; it must outlive the editor) and forwards the
    // user's actions to it.
    FileListManagement(QWidget* parent, TakeSession* session);
    TakeSession* session() const { return m_session; }
    ~FileListManagement() override;

    void setCommandAvailable(Command command, bool available);

    // Import by file dialog; remembers the folder as "LastImportDir".
    void startImportAction();
    // Reads paths on a worker thread and adds their takes; the list stays
    // responsive and a progress dialog appears for a long import. Requests
    // made while an import runs are queued. importFinished() follows.
    void importPaths(const QStringList& paths, ImportOrigin origin);

    // The current take in model coordinates (invalid when there is none).
    QModelIndex currentModelIndex() const;

    // --- Saving edits ---
    // Writes the edits of the current take (or of all selected takes) into
    // their files, after the rate-change question and the duplicate check.
    void startSave();
    // The running action's progress dialog (null when none).
    QProgressDialog* progressDialog() const;

    // --- Rename and copy ---
    void startRenameAction();
    void startCopyAction();
    // Copies the selected takes into folder; the folder dialog of
    // startCopyAction() ends here.
    void startCopyTo(const QString& folder);

    // --- Rate changes and timecode ---
    EditTC* timecodeEditor() const;

public slots:
    // Playback state, from the transport window; index in model coordinates.
    void on_playStarted(const QModelIndex& index);
    void on_playStoped();
    void on_playPaused(bool playing);

signals:
    void startReports();
    void startSplitCombine();
    void renameEnabled(bool enabled);
    void copyToEnabled(bool enabled);
    void spltCombineEnabled(bool enabled);
    void reportsEnabled(bool enabled);
    void playEnabled(bool enabled);
    void stopEnabled(bool enabled);
    // An import ended: rows added, and files that gave no take (not readable
    // as take files, or not placed in any take).
    void importFinished(int takesAdded, int filesRejected);
    // A save, rename or copy ended (kind: TakeJobs::Kind); ok: every file done.
    void actionFinished(int kind, bool ok);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void on_selectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void on_pushButton_Clear_clicked();
    void on_pushButton_Delete_clicked();
    void on_treeView_doubleClicked(const QModelIndex& index);

    void on_takesAboutToBeAdded();
    void on_importFinished(int added, int rejected);

private:
    // Construction.
    void connectForm();

    // The current take and its pages.
    void updateCurrent();
    void selectViewRow(int viewRow);
    void updateTakeFieldsForSelection();
    void emitIndexChanged();

    // The current row in model coordinates (-1 without one).
    int currentRow() const;
    void connectEdits();
    void commitTracks();

    // Controls follow the session's commands (TakeCommands).
    void onControlEnabled(Control control, bool on);
    void setWanted(Control control, bool wanted);

    // Clear and delete: the selected rows in model coordinates; remove runs
    // the session's removal, then the current take and the pages follow.
    QList<int> selectedModelRows() const;
    void removeTakes(const std::function<void()>& remove);

    // Save, rename and copy.
    void connectJobs();
    void onJobFinished(const TakeJobs::Result& result);

private:
    TakeEditorForm m_ui;
    TakeSession* m_session = nullptr;
    AudioFileModel* m_model = nullptr; // the session's
    QSortFilterProxyModel* m_proxy = nullptr;
    QPersistentModelIndex m_currentIndex; // take list view (proxy) coordinates
    bool m_notesArmed = false;
    bool m_skipNextSelection = false;
    bool m_removingRows = false;  // selection changes caused by a removal are not the user's
    TakePages* m_pages = nullptr; // child
    QSortFilterProxyModel* m_trackProxy = nullptr; // the pages'
    QLabel* m_selectionNote = nullptr;             // child: "N takes selected..."

    ImportProgress* m_importProgress = nullptr; // child

    JobProgress* m_jobProgress = nullptr; // child
    RateControls* m_rates = nullptr;      // child
};

// Whole-take commands of the take list: import by dialog and by drop, clear,
// delete, the playback buttons and the enabling of the take buttons.
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "EditorQuestions.h"
#include "ImportProgress.h"
#include "TakeColumns.h"
#include "TakeDialogs.h"
#include "TakeListView.h"
#include "TakePages.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QUrl>

using namespace TakeColumns;

// Import timings; off unless QT_LOGGING_RULES enables "velmora.import.info=true".
Q_LOGGING_CATEGORY(lcImport, "velmora.import", QtWarningMsg)

// --- Commands and button enabling -----------------------------------------

void FileListManagement::onControlEnabled(Control control, bool on)
{
    using Signal = void (FileListManagement::*)(bool);
    const TakeEditorForm& f = m_ui;
    const QHash<Control, QPair<QList<QWidget*>, Signal>> controls = {
        {Control::Save, {{f.Save}, nullptr}},
        {Control::Rename, {{f.pushButton_Rename}, &FileListManagement::renameEnabled}},
        {Control::CopyTo, {{f.pushButton_CopyTo}, &FileListManagement::copyToEnabled}},
        {Control::RateBoxes, {{f.comboBox_SampleRate, f.comboBox_FrameRate}, nullptr}},
        {Control::EditTimecode, {{f.pushButton_EditTC}, nullptr}},
        {Control::Play, {{f.pushButton_Play}, &FileListManagement::playEnabled}},
        {Control::Stop, {{f.pushButton_Stop}, &FileListManagement::stopEnabled}},
        {Control::Reports, {{f.pushButton_Reports}, &FileListManagement::reportsEnabled}},
        {Control::SplitCombine,
         {{f.pushButton_SpltCombine}, &FileListManagement::spltCombineEnabled}},
        {Control::Clear, {{f.pushButton_Clear}, nullptr}},
        {Control::Delete, {{f.pushButton_Delete}, nullptr}},
    };
    const auto& [widgets, signal] = controls.value(control);
    for (QWidget* w : widgets)
        w->setEnabled(on);
    if (signal)
        emit(this->*signal)(on);
}

void FileListManagement::setCommandAvailable(Command command, bool available)
{
    m_session->commands()->setAvailable(command, available);
}

void FileListManagement::setWanted(Control control, bool wanted)
{
    m_session->commands()->setWanted(control, wanted);
}

// --- Playback: requests go through the session ----------------------------

void FileListManagement::on_treeView_doubleClicked(const QModelIndex& index)
{
    // Without playback a double click starts nothing and changes nothing.
    if (m_session->commands()->isAvailable(Command::Play) && index.isValid())
        m_session->requestPlay(m_proxy->mapToSource(index.siblingAtColumn(0)));
}

void FileListManagement::on_playStarted(const QModelIndex& index)
{
    m_session->playStarted(index);
}

void FileListManagement::on_playStoped()
{
    m_session->playStopped();
    m_ui.pushButton_Play->setText(tr("Play"));
}

void FileListManagement::on_playPaused(bool playing)
{
    m_ui.pushButton_Play->setText(playing ? tr("Pause") : tr("Play"));
}

// --- Import ---------------------------------------------------------------

void FileListManagement::startImportAction()
{
    const QStringList chosen = TakeDialogs::chooseImportFiles(this);
    if (!chosen.isEmpty())
        importPaths(chosen, ImportOrigin::Dialog);
}

void FileListManagement::importPaths(const QStringList& paths, ImportOrigin origin)
{
    m_session->importPaths(paths, origin);
}

void FileListManagement::on_takesAboutToBeAdded()
{
    // Rows go in unsorted and are sorted once at the end: sorting after
    // every row would make a large import slow.
    m_ui.treeView->setUpdatesEnabled(false);
    m_proxy->setDynamicSortFilter(false);
}

void FileListManagement::on_importFinished(int added, int rejected)
{
    m_proxy->setDynamicSortFilter(true);
    m_ui.treeView->setUpdatesEnabled(true);
    qCInfo(lcImport) << m_session->importFilesTotal() << "files," << added << "takes listed in"
                     << m_importProgress->elapsedMs() << "ms";
    TakeListView* view = m_ui.treeView;
    view->fitColumnsToContents();
    view->sortByColumn(StartTC, Qt::DescendingOrder);
    view->sortByColumn(StartTC, Qt::AscendingOrder);
    if (!m_currentIndex.isValid() && m_model->rowCount() > 0)
        selectViewRow(0);
    m_importProgress->finish();
    emit importFinished(added, rejected);
}

void FileListManagement::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void FileListManagement::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (!url.toLocalFile().isEmpty())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    if (!paths.isEmpty())
        importPaths(paths, ImportOrigin::Drop);
}

// --- Clear and delete -----------------------------------------------------

QList<int> FileListManagement::selectedModelRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_ui.treeView->selectionModel()->selectedRows())
        rows << m_proxy->mapToSource(index).row();
    return rows;
}

void FileListManagement::removeTakes(const std::function<void()>& remove)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Selection changes caused by a removal are not the user's; the session
    // drops the edits of the current take when it goes.
    m_removingRows = true;
    remove();
    m_removingRows = false;
    // Without takes the session has turned the take commands off.
    if (m_model->rowCount() == 0) {
        m_currentIndex = QPersistentModelIndex();
        m_ui.Take->setEnabled(true);
        m_pages->show(-1);
    } else {
        selectViewRow(0);
    }
    emitIndexChanged();
    QApplication::restoreOverrideCursor();
}

void FileListManagement::on_pushButton_Clear_clicked()
{
    // Unsaved edits of a take that goes are saved (then the clear runs
    // again), discarded, or keep it listed.
    const QList<int> rows = selectedModelRows();
    if (m_session->settleEdits(rows, false, [this] { on_pushButton_Clear_clicked(); }))
        removeTakes([&] { m_session->removeTakes(rows); });
}

void FileListManagement::on_pushButton_Delete_clicked()
{
    const QString title = QCoreApplication::applicationName();
    const QList<int> rows = selectedModelRows();
    if (rows.isEmpty()) {
        QMessageBox::warning(this, title, tr("Please select takes to delete."));
        return;
    }
    if (!m_session->settleEdits(rows, false, [this] { on_pushButton_Delete_clicked(); }) ||
        !EditorQuestions::askOk(this,
                                tr("WARNING!\nThis will permanently delete the selected takes "
                                   "from your computer.\n Are you sure you want to continue?"),
                                false))
        return;
    TakeJobs::Result result;
    removeTakes([&] { result = m_session->deleteTakes(rows, m_session->playingRow()); });
    if (!result.notes.isEmpty())
        QMessageBox::warning(this, title,
                             tr("These takes are still listed:\n%1").arg(result.notes));
}

// Whole-take commands of the take list: import by dialog and by drop, clear,
// delete, the playback buttons and the enabling of the take buttons.
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeFileRemover.h"
#include "TakeListView.h"
#include "TakePages.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QUrl>

using namespace TakeColumns;

// Import timings; off unless QT_LOGGING_RULES enables "velmora.import.info=true".
Q_LOGGING_CATEGORY(lcImport, "velmora.import", QtWarningMsg)

namespace
{
// An import that takes longer than this shows a progress dialog (ms).
constexpr int kImportProgressDelayMs = 400;
constexpr int kImportPollMs = 100;

const char kLastImportDirKey[] = "LastImportDir";

QString title()
{
    return QCoreApplication::applicationName();
}
} // namespace

// --- Commands and button enabling -----------------------------------------

QList<FileListManagement::Gate> FileListManagement::gates() const
{
    const TakeEditorForm& f = m_ui;
    return {
        {f.Save, Command::Save, nullptr},
        {f.pushButton_Rename, Command::Rename, &FileListManagement::renameEnabled},
        {f.pushButton_CopyTo, Command::CopyTo, &FileListManagement::copyToEnabled},
        {f.pushButton_EditTC, Command::EditTimecode, nullptr},
        {f.pushButton_Play, Command::Play, &FileListManagement::playEnabled},
        {f.pushButton_Stop, Command::Play, &FileListManagement::stopEnabled},
        {f.pushButton_Reports, Command::Reports, &FileListManagement::reportsEnabled},
        {f.pushButton_SpltCombine, Command::SplitCombine, &FileListManagement::spltCombineEnabled},
    };
}

void FileListManagement::setCommandAvailable(Command command, bool available)
{
    m_available[command] = available;
    applyGated(command);
}

bool FileListManagement::isCommandAvailable(Command command) const
{
    return m_available.value(command, false);
}

void FileListManagement::setWanted(QWidget* control, bool enabled)
{
    m_wanted[control] = enabled;
    for (const Gate& g : gates()) {
        if (g.control != control)
            continue;
        const bool on = enabled && isCommandAvailable(g.command);
        g.control->setEnabled(on);
        if (g.signal)
            emit(this->*g.signal)(on);
    }
}

void FileListManagement::applyGated(Command command)
{
    for (const Gate& g : gates()) {
        if (g.command == command)
            setWanted(g.control, m_wanted.value(g.control, false));
    }
    if (command == Command::RateChange) {
        const bool on = isCommandAvailable(Command::RateChange);
        m_ui.comboBox_SampleRate->setEnabled(on);
        m_ui.comboBox_FrameRate->setEnabled(on);
    }
}

void FileListManagement::applyAllGated()
{
    for (Command c :
         {Command::Save, Command::Rename, Command::CopyTo, Command::RateChange,
          Command::EditTimecode, Command::Play, Command::Reports, Command::SplitCombine})
        applyGated(c);
}

void FileListManagement::setButtonsEnabled(bool enabled)
{
    m_ui.pushButton_Delete->setEnabled(enabled);
    m_ui.pushButton_Clear->setEnabled(enabled);
    setWanted(m_ui.pushButton_CopyTo, enabled);
    setWanted(m_ui.pushButton_Play, enabled);
    setWanted(m_ui.pushButton_Rename, enabled);
    setWanted(m_ui.pushButton_Reports, enabled);
    setWanted(m_ui.pushButton_SpltCombine, enabled);
}

void FileListManagement::setRenameEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_Rename, enabled);
}

void FileListManagement::setCopyToEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_CopyTo, enabled);
}

void FileListManagement::setPlayEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_Play, enabled);
}

void FileListManagement::setReportsEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_Reports, enabled);
}

void FileListManagement::setSpltCombineEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_SpltCombine, enabled);
}

void FileListManagement::setStopEnabled(bool enabled)
{
    setWanted(m_ui.pushButton_Stop, enabled);
}

void FileListManagement::setPlaybackLock(bool locked)
{
    m_ui.pushButton_Clear->setEnabled(!locked);
    m_ui.pushButton_Delete->setEnabled(!locked);
    setRenameEnabled(!locked);
}

// --- Playback buttons -----------------------------------------------------

void FileListManagement::on_pushButton_Play_clicked()
{
    setPlaybackLock(true);
    setStopEnabled(true);
    emit playPressed();
}

void FileListManagement::on_pushButton_Stop_clicked()
{
    setPlaybackLock(false);
    emit stopPressed();
    m_ui.pushButton_Play->setText(tr("Play"));
}

void FileListManagement::on_treeView_doubleClicked(const QModelIndex& index)
{
    // Without playback a double click starts nothing and changes nothing.
    if (!isCommandAvailable(Command::Play) || !index.isValid())
        return;
    setPlaybackLock(true);
    const QModelIndex take = m_proxy->mapToSource(index.siblingAtColumn(0));
    m_session->requestPlay(take);
    emit PlayFile(take);
    setStopEnabled(true);
}

void FileListManagement::on_playStarted(const QModelIndex& index)
{
    setStopEnabled(true);
    setPlaybackLock(true);
    m_playingIndex = m_proxy->mapFromSource(index.siblingAtColumn(0));
}

void FileListManagement::on_playStoped()
{
    setPlaybackLock(false);
    m_ui.pushButton_Play->setText(tr("Play"));
    setStopEnabled(false);
    m_playingIndex = QPersistentModelIndex();
}

void FileListManagement::on_playPaused(bool playing)
{
    m_ui.pushButton_Play->setText(playing ? tr("Pause") : tr("Play"));
}

void FileListManagement::on_pushButton_Reports_clicked()
{
    emit startReports();
}

void FileListManagement::on_pushButton_SpltCombine_clicked()
{
    emit startSplitCombine();
}

// --- Import ---------------------------------------------------------------

void FileListManagement::on_pushButton_Import_clicked()
{
    startImportAction();
}

void FileListManagement::startImportAction()
{
    QSettings settings;
    QString folder = settings.value(QLatin1String(kLastImportDirKey)).toString();
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::toNativeSeparators(QDir::homePath());
    QFileDialog::Options options;
#ifdef Q_OS_LINUX
    // Recorders often write upper-case .WAV names; the toolkit's own dialog
    // matches the filter without regard to case, a desktop dialog may not.
    options |= QFileDialog::DontUseNativeDialog;
#endif
    const QStringList chosen = QFileDialog::getOpenFileNames(
        this, tr("Import Files"), folder, QStringLiteral("Audio (*.wav *.bwf)"), nullptr, options);
    if (chosen.isEmpty())
        return;
    settings.setValue(QLatin1String(kLastImportDirKey), QFileInfo(chosen.first()).absolutePath());
    importPaths(chosen, ImportOrigin::Dialog);
}

void FileListManagement::importPaths(const QStringList& paths, ImportOrigin origin)
{
    m_session->importPaths(paths, origin);
}

bool FileListManagement::isImporting() const
{
    return m_session->isImporting();
}

void FileListManagement::on_importStarted()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_importStartMs = QDateTime::currentMSecsSinceEpoch();
    if (!m_importTimer) {
        m_importTimer = new QTimer(this);
        m_importTimer->setInterval(kImportPollMs);
        connect(m_importTimer, &QTimer::timeout, this, &FileListManagement::on_importProgress);
    }
    m_importTimer->start();
}

void FileListManagement::on_importProgress()
{
    if (!m_session->isImporting())
        return;
    if (!m_importProgress) {
        if (QDateTime::currentMSecsSinceEpoch() - m_importStartMs < kImportProgressDelayMs)
            return;
        m_importProgress = new QProgressDialog(this);
        m_importProgress->setObjectName(QStringLiteral("importProgress"));
        m_importProgress->setWindowTitle(title());
        m_importProgress->setWindowModality(Qt::WindowModal);
        m_importProgress->setAutoClose(false);
        m_importProgress->setAutoReset(false);
        m_importProgress->setMinimumDuration(0);
        m_importProgress->setMinimumWidth(360);
        connect(m_importProgress, &QProgressDialog::canceled, m_session,
                &TakeSession::cancelImport);
    }
    const int total = m_session->importFilesTotal();
    const int read = m_session->importFilesRead();
    if (total == 0) {
        m_importProgress->setLabelText(tr("Looking for take files..."));
        m_importProgress->setRange(0, 0);
    } else if (read < total) {
        m_importProgress->setLabelText(tr("Reading take files... %1 of %2").arg(read).arg(total));
        m_importProgress->setRange(0, total);
        m_importProgress->setValue(read);
    } else {
        m_importProgress->setLabelText(tr("Grouping %1 files into takes...").arg(total));
        m_importProgress->setRange(0, 0);
    }
    m_importProgress->show();
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
    m_importTimer->stop();
    m_proxy->setDynamicSortFilter(true);
    m_ui.treeView->setUpdatesEnabled(true);
    qCInfo(lcImport) << m_session->importFilesTotal() << "files," << added << "takes listed in"
                     << QDateTime::currentMSecsSinceEpoch() - m_importStartMs << "ms";
    finishImport(added, rejected);
}

void FileListManagement::finishImport(int added, int rejected)
{
    QTreeView* view = m_ui.treeView;
    for (int c = 0; c < Count; ++c) {
        if (!view->isColumnHidden(c))
            view->resizeColumnToContents(c);
    }
    view->sortByColumn(StartTC, Qt::DescendingOrder);
    view->sortByColumn(StartTC, Qt::AscendingOrder);
    if (!m_currentIndex.isValid() && m_model->rowCount() > 0)
        selectViewRow(0);
    setButtonsEnabled(m_model->rowCount() > 0);
    if (m_importProgress) {
        m_importProgress->close();
        m_importProgress->deleteLater();
        m_importProgress = nullptr;
    }
    QApplication::restoreOverrideCursor();
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
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths << path;
    }
    event->acceptProposedAction();
    if (!paths.isEmpty())
        importPaths(paths, ImportOrigin::Drop);
}

// --- Clear and delete -----------------------------------------------------

void FileListManagement::on_pushButton_Clear_clicked()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    removeSelectedTakesFromModel(m_ui.treeView->selectionModel()->selectedRows());
    QApplication::restoreOverrideCursor();
}

void FileListManagement::removeSelectedTakesFromModel(const QList<QModelIndex>& rows)
{
    QList<int> sourceRows;
    for (const QModelIndex& index : rows) {
        const QModelIndex source = m_proxy->mapToSource(index);
        if (source.isValid())
            sourceRows << source.row();
    }
    const bool currentRemoved = sourceRows.contains(currentRow());

    m_removingRows = true;
    m_session->removeTakes(sourceRows);
    m_removingRows = false;
    // Edits of a take that is no longer listed can be neither saved nor
    // reverted; they must not be taken for edits of the next take.
    if (currentRemoved)
        InitModifyFlags();

    if (m_model->rowCount() == 0) {
        m_currentIndex = QPersistentModelIndex();
        setButtonsEnabled(false);
        setWanted(m_ui.pushButton_EditTC, false);
        m_ui.Take->setEnabled(true);
        m_pages->show(-1);
    } else {
        selectViewRow(0);
    }
    emitIndexChanged();
}

void FileListManagement::on_pushButton_Delete_clicked()
{
    const QModelIndexList rows = m_ui.treeView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        QMessageBox::warning(this, title(), tr("Please select takes to delete."));
        return;
    }
    QMessageBox ask(QMessageBox::Question, title(),
                    tr("WARNING!\nThis will permanently delete the selected takes from your "
                       "computer.\n Are you sure you want to continue?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setDefaultButton(QMessageBox::Cancel);
    ask.setEscapeButton(QMessageBox::Cancel);
    if (ask.exec() != QMessageBox::Ok)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    QList<QModelIndex> removed;
    QStringList problems;
    for (const QModelIndex& index : rows) {
        const int row = m_proxy->mapToSource(index).row();
        const QString name = cell(row, FileName);
        // The files of a take that is playing are being read: never deleted.
        if (m_playingIndex.isValid() && m_playingIndex.row() == index.row()) {
            problems << tr("%1: it is playing; nothing was deleted.").arg(name);
            continue;
        }
        const TakeFileRemover::Result result = m_session->deleteTakeFiles(row);
        switch (result.outcome) {
        case TakeFileRemover::Outcome::Deleted:
        case TakeFileRemover::Outcome::NotOpened:
            removed << index;
            break;
        case TakeFileRemover::Outcome::Changed:
            problems << tr("%1: its files changed on disk since it was listed; nothing was "
                           "deleted.")
                            .arg(name);
            break;
        case TakeFileRemover::Outcome::Failed:
            problems << tr("%1: could not delete %2.")
                            .arg(name, QDir::toNativeSeparators(result.failed.join(", ")));
            break;
        }
    }
    removeSelectedTakesFromModel(removed);
    QApplication::restoreOverrideCursor();
    if (!problems.isEmpty()) {
        QMessageBox::warning(this, title(),
                             tr("These takes are still listed:\n%1").arg(problems.join('\n')));
    }
}

// Saving the edits of the editor panel into the take files, and the action
// machinery (progress dialog, cancel, end of action) that rename and copy
// share. The files are written by the save service (TakeSaver), the same one
// "velmora-cli set" uses.
#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeCopier.h"
#include "TakeFolderCache.h"
#include "TakeLabel.h"
#include "TakeListView.h"
#include "TakeRenamer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
// The progress dialog of a finished action stays this long (ms).
constexpr int kProgressCloseMs = 1000;

QString title()
{
    return QCoreApplication::applicationName();
}

const QString& errorMessage()
{
    static const QString m = QObject::tr("Error occurred during process.");
    return m;
}
} // namespace

void FileListManagement::connectServices()
{
    m_saver = new TakeSaver(this);
    m_renamer = new TakeRenamer(this);
    m_copier = new TakeCopier(this);
    // The services report from inside their own steps: the handlers only
    // record; the dialog and the end of the action are handled from the event
    // loop (QProgressDialog::setValue of a modal dialog processes events).
    connect(m_saver, &TakeSaver::fileProgress, this, &FileListManagement::onItemProgress);
    connect(m_saver, &TakeSaver::fileFinished, this, &FileListManagement::onSaveFileFinished);
    for (TakeBatch* batch :
         {static_cast<TakeBatch*>(m_renamer), static_cast<TakeBatch*>(m_copier)}) {
        connect(batch, &TakeBatch::itemProgress, this, &FileListManagement::onItemProgress);
        connect(batch, &TakeBatch::itemFinished, this, &FileListManagement::onBatchItemFinished);
    }
    auto finishLater = [this] {
        QMetaObject::invokeMethod(this, &FileListManagement::onActionFinished,
                                  Qt::QueuedConnection);
    };
    connect(m_saver, &TakeSaver::finished, this, finishLater);
    connect(m_renamer, &TakeBatch::finished, this, finishLater);
    connect(m_copier, &TakeBatch::finished, this, finishLater);
    connect(m_ui.Save, &QPushButton::clicked, this, &FileListManagement::on_Save_clicked);
}

bool FileListManagement::isActionRunning() const
{
    return m_actionKind != ActionNone || m_saver->isRunning() || m_renamer->isRunning() ||
           m_copier->isRunning();
}

// --- Starting a save -------------------------------------------------------

void FileListManagement::on_Save_clicked()
{
    startSave();
}

void FileListManagement::revertEdits()
{
    restoreCurrent(m_currentIndex);
    updateCurrent();
    InitModifyFlags();
}

void FileListManagement::startSave()
{
    if (!m_model || !m_currentIndex.isValid())
        return;
    if (isActionRunning()) {
        QMessageBox::warning(this, title(),
                             tr("Please wait until action completes and try again."));
        return;
    }
    bool rateEdited = false;
    bool nameEdited = false;
    if (!IsEdited(rateEdited, nameEdited))
        return;
    if (rateEdited) {
        QMessageBox ask(QMessageBox::Question, title(),
                        tr("Are you sure you wish to save these changes?\n Click button below to "
                           "discard changes, or click 'OK' to continue."),
                        QMessageBox::Ok | QMessageBox::Discard, this);
        ask.setDefaultButton(QMessageBox::Discard);
        ask.setEscapeButton(QMessageBox::Discard);
        ask.exec();
        if (ask.clickedButton() != ask.button(QMessageBox::Ok)) {
            revertEdits();
            return;
        }
    }
    if (nameEdited && !adjustTakeDublicates()) {
        revertEdits();
        return;
    }
    m_actionKind = ActionUpdate;
    if (m_ui.treeView->selectionModel()->selectedRows().size() < 2)
        saveCurrent();
    else
        saveSelected();
}

bool FileListManagement::adjustTakeDublicates()
{
    const int current = currentRow();
    const QString scene = cell(current, Scene);
    const QString take = cell(current, Take);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (row == current || cell(row, Scene) != scene || cell(row, Take) != take)
            continue;
        QApplication::restoreOverrideCursor();
        QMessageBox ask(QMessageBox::Question, title(),
                        tr("Scene/take duplication has been detected.\n Are you sure you wish to "
                           "continue?\n Duplicates will have their scene name prefixed by '+'."),
                        QMessageBox::Ok | QMessageBox::Cancel, this);
        ask.setDefaultButton(QMessageBox::Ok);
        ask.setEscapeButton(QMessageBox::Cancel);
        if (ask.exec() != QMessageBox::Ok)
            return false;
        const QString prefixed = QStringLiteral("+") + scene;
        setCell(current, Scene, prefixed);
        m_ui.Scene->setText(prefixed);
        m_session->markEdited(TakeField::Scene);
        return true;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

QStringList FileListManagement::GetFilesToUpdate(const QModelIndex& index) const
{
    if (!m_model || !index.isValid())
        return {};
    AudioFile file;
    if (!file.Open(cell(index.row(), Path)))
        return {};
    QStringList files;
    QString name;
    KQHelper::getTakeFiles(m_session->folderCache(), &file, files, name);
    return files;
}

QStringList FileListManagement::GetBackupFiles(const QModelIndex& index) const
{
    if (!m_model || !index.isValid())
        return {};
    const QDir folder(KQHelper::folderOf(cell(index.row(), Path)));
    QStringList backups;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        if (info.fileName().contains(QLatin1String("_updatebackup")))
            backups << info.absoluteFilePath();
    }
    return backups;
}

TakeEdits FileListManagement::editsForRow(int row, bool multi) const
{
    TakeEdits e;
    auto flagged = [this](TakeField f) { return m_session->isEdited(f); };
    if (flagged(TakeField::FrameRate))
        e.frameRate = cell(row, FrameRate);
    if (flagged(TakeField::SampleRate))
        e.sampleRate = cell(row, SampleRate);
    if (flagged(TakeField::SamplesSinceMidnight))
        e.samplesSinceMidnight = cell(row, SamplesSinceMidnight);
    if (flagged(TakeField::Project))
        e.project = cell(row, Project);
    if (flagged(TakeField::Scene))
        e.scene = cell(row, Scene);
    if (flagged(TakeField::Tape))
        e.tape = cell(row, Tape);
    if (flagged(TakeField::Take) && !multi)
        e.take = cell(row, Take);
    if (flagged(TakeField::Ubits))
        e.ubits = cell(row, Ubits);
    if (flagged(TakeField::Notes))
        e.notes = cell(row, Notes);
    if (flagged(TakeField::UserInfo))
        e.user = cell(row, User);
    if (flagged(TakeField::Circled))
        e.circled = cell(row, Circled);
    if (flagged(TakeField::Wild))
        e.wild = cell(row, Wild);
    const QList<QStringList>& tracks = m_model->trackInfo(row);
    if (flagged(TakeField::Tracks) && tracks.size() == m_trackModel->rowCount()) {
        // A polyphonic file takes every record, a mono file of the take the
        // record of its own channel (TakeEdits::applyTo matches channels).
        for (const QStringList& t : tracks) {
            bool ok = false;
            const int channel = t.value(0).toInt(&ok, 10);
            if (!ok || t.size() != 4)
                continue;
            TrackEdit edit;
            edit.channel = channel;
            edit.name = t.at(2);
            edit.function = t.at(3);
            e.tracks.append(edit);
        }
    }
    return e;
}

void FileListManagement::saveCurrent()
{
    m_multiTakeSave = false;
    const QModelIndex current = currentModelIndex();
    const QStringList files = GetFilesToUpdate(current);
    if (files.isEmpty()) {
        QMessageBox::warning(this, title(),
                             tr("Failed to update\n %1 take.").arg(cell(current.row(), Path)));
        m_actionKind = ActionNone;
        return;
    }
    const TakeEdits edits = editsForRow(current.row(), false);
    QVector<TakeSaver::Job> jobs;
    for (const QString& f : files)
        jobs.append({f, edits});
    runSave(jobs, {QPersistentModelIndex(current)});
}

void FileListManagement::saveSelected()
{
    m_multiTakeSave = true;
    const int current = currentRow();
    QList<QModelIndex> selected;
    selectedIndexes(selected);
    QVector<TakeSaver::Job> jobs;
    QList<QPersistentModelIndex> rows;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const QModelIndex& index : selected) {
        const QStringList files = GetFilesToUpdate(index);
        if (files.isEmpty()) {
            QApplication::restoreOverrideCursor();
            // Nothing has been written: the copies of the edits go again.
            for (const QPersistentModelIndex& done : std::as_const(rows)) {
                if (done.row() != current)
                    restoreCurrent(done);
            }
            QMessageBox::warning(this, title(),
                                 tr("Failed to update\n %1 take.").arg(cell(index.row(), Path)));
            m_actionKind = ActionNone;
            return;
        }
        if (index.row() != current)
            updateModelForSaveSelected(index.row());
        const TakeEdits edits = editsForRow(index.row(), true);
        for (const QString& f : files)
            jobs.append({f, edits});
        rows << QPersistentModelIndex(index);
    }
    QApplication::restoreOverrideCursor();
    runSave(jobs, rows);
}

void FileListManagement::updateModelForSaveSelected(int row)
{
    const int current = currentRow();
    auto flagged = [this](TakeField f) { return m_session->isEdited(f); };
    auto copy = [&](int column) { setCell(row, column, cell(current, column)); };
    if (flagged(TakeField::FrameRate))
        copy(FrameRate);
    if (flagged(TakeField::SampleRate))
        copy(SampleRate);
    if (flagged(TakeField::FrameRate) || flagged(TakeField::SampleRate)) {
        QString frameRate = flagged(TakeField::FrameRate) ? cell(current, FrameRate) : QString();
        QString rate = flagged(TakeField::SampleRate) ? cell(current, SampleRate) : QString();
        if (frameRate.isEmpty())
            frameRate = cell(row, FrameRate);
        if (rate.isEmpty())
            rate = cell(row, SampleRate);
        AudioFile file;
        if (file.Open(cell(row, Path)))
            updateModelOnFrameRateChange(file, row, frameRate, rate.toInt(nullptr, 10),
                                         cell(row, StartTC));
    }
    for (const auto& [key, column] : {std::pair<TakeField, int>{TakeField::Project, Project},
                                      {TakeField::Scene, Scene},
                                      {TakeField::Tape, Tape},
                                      {TakeField::Ubits, Ubits},
                                      {TakeField::Notes, Notes},
                                      {TakeField::UserInfo, User},
                                      {TakeField::Circled, Circled},
                                      {TakeField::Wild, Wild}}) {
        if (flagged(key))
            copy(column);
    }
    if (flagged(TakeField::Tracks)) {
        if (TakeLabel::parse(cell(row, Channels)).trackCount() == m_trackProxy->rowCount()) {
            for (int r = 0; r < m_trackProxy->rowCount(); ++r) {
                const int channel = m_trackProxy->index(r, 0).data().toInt();
                m_model->setTrackName(row, channel, m_trackProxy->index(r, 2).data().toString());
                m_model->setTrackFunction(row, channel,
                                          m_trackProxy->index(r, 3).data().toString());
            }
        }
    }
}

void FileListManagement::runSave(QVector<TakeSaver::Job> jobs,
                                 const QList<QPersistentModelIndex>& rows)
{
    // Files that a failed or cancelled save wrote already, with the very
    // edits they would get now, are not written again.
    QVector<TakeSaver::Job> pending;
    for (const TakeSaver::Job& job : jobs) {
        const auto written = m_writtenFiles.constFind(job.path);
        if (written == m_writtenFiles.constEnd() || *written != job.edits)
            pending.append(job);
    }
    m_saveJobs = pending;
    m_saveRows = rows;
    m_stepIndex = 0;
    m_actionError.clear();
    m_actionNotes.clear();
    m_actionCancelled = false;
    m_actionTotal = int(pending.size());
    makeProgressDialog(tr("Updating files..."), m_actionTotal);
    if (pending.isEmpty() || !m_saver->start(pending, m_multiTakeSave, true)) {
        if (pending.isEmpty())
            onActionFinished();
        else
            actionComplete(false, errorMessage());
    }
}

// --- The action machinery --------------------------------------------------

QProgressDialog* FileListManagement::progressDialog() const
{
    return m_progressDialog.data();
}

void FileListManagement::makeProgressDialog(const QString& label, int files)
{
    if (m_progressDialog) {
        m_progressDialog->disconnect(this);
        m_progressDialog->close();
        m_progressDialog->deleteLater();
    }
    auto* d = new QProgressDialog(label, tr("Cancel"), 0, qMax(1, files) * 100, this);
    d->setObjectName(QStringLiteral("actionProgress"));
    d->setWindowTitle(title());
    d->setWindowFlags(d->windowFlags() | Qt::CustomizeWindowHint);
    d->setWindowFlag(Qt::WindowCloseButtonHint, false);
    d->setWindowModality(Qt::WindowModal);
    d->setAutoClose(false);
    d->setAutoReset(false);
    d->setMinimumDuration(0);
    d->setValue(0);
    connect(d, &QProgressDialog::canceled, this, &FileListManagement::on_progressCanceled);
    m_progressDialog = d;
    m_progressValue = 0;
    d->show();
}

void FileListManagement::on_progressCanceled()
{
    if (m_actionKind == ActionNone)
        return;
    m_actionCancelled = true;
    // The file in progress is put back as it was (its partial output removed).
    m_saver->abort();
    m_renamer->abort();
    m_copier->abort();
}

void FileListManagement::setActionProgress(int value)
{
    m_progressValue = value;
    if (m_progressUpdateQueued)
        return;
    m_progressUpdateQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_progressUpdateQueued = false;
            if (m_progressDialog && m_actionKind != ActionNone)
                m_progressDialog->setValue(m_progressValue);
        },
        Qt::QueuedConnection);
}

void FileListManagement::onItemProgress(int index, quint32 percent)
{
    setActionProgress(index * 100 + int(qMin<quint32>(percent, 100)));
}

void FileListManagement::onSaveFileFinished(int index, const TakeSaver::FileResult& result)
{
    switch (result.outcome) {
    case TakeSaver::Outcome::UpdatedInPlace:
    case TakeSaver::Outcome::Rewritten:
        if (index < m_saveJobs.size())
            m_writtenFiles.insert(result.path, m_saveJobs.at(index).edits);
        m_stepIndex = index + 1;
        break;
    case TakeSaver::Outcome::Failed:
        if (m_actionError.isEmpty())
            m_actionError = QStringLiteral("%1: %2").arg(result.path, result.error);
        break;
    case TakeSaver::Outcome::Cancelled:
        m_actionCancelled = true;
        break;
    }
    setActionProgress((index + 1) * 100);
}

void FileListManagement::onBatchItemFinished(int index, const TakeBatch::ItemResult& result)
{
    switch (result.outcome) {
    case TakeBatch::Outcome::Done:
        if (m_actionKind == ActionRename)
            updatePreviouslyRenamed(result.source, result.target);
        if (!result.reason.isEmpty())
            m_actionNotes << result.reason;
        m_stepIndex = index + 1;
        break;
    case TakeBatch::Outcome::Skipped:
        // A rename to the same or an existing name is skipped silently; a copy
        // that would replace another file is reported.
        if (m_actionKind == ActionCopy)
            m_actionNotes
                << tr("%1: not copied, %2").arg(QFileInfo(result.source).fileName(), result.reason);
        m_stepIndex = index + 1;
        break;
    case TakeBatch::Outcome::Refused:
        m_actionNotes << result.reason;
        m_stepIndex = index + 1;
        break;
    case TakeBatch::Outcome::Failed:
        if (m_actionError.isEmpty()) {
            m_actionError = result.reason;
            // A file that cannot be read has no target yet.
            if (m_actionKind == ActionRename && result.target.isEmpty())
                m_actionMessage = tr("Internal error.\nFailed to init %1 file.").arg(result.source);
            else if (m_actionKind == ActionCopy && result.reason == AudioThread::kMsgSameSource)
                m_actionMessage = AudioThread::kMsgSameSource;
        }
        break;
    case TakeBatch::Outcome::Cancelled:
        m_actionCancelled = true;
        break;
    }
    setActionProgress((index + 1) * 100);
}

void FileListManagement::onActionFinished()
{
    const int kind = m_actionKind;
    if (kind == ActionNone)
        return;
    const bool complete =
        m_actionError.isEmpty() && !m_actionCancelled && m_stepIndex >= m_actionTotal;
    if (kind == ActionUpdate) {
        if (complete) {
            // Every file has the edits: they are no longer edits.
            InitModifyFlags();
        } else if (m_multiTakeSave) {
            // The other takes show their files again; the next save copies the
            // current take's edits into them anew.
            const int current = currentRow();
            for (const QPersistentModelIndex& row : std::as_const(m_saveRows)) {
                if (row.isValid() && row.row() != current)
                    restoreCurrent(row);
            }
        }
        m_saveJobs.clear();
        m_saveRows.clear();
    }
    if (kind == ActionRename) {
        if (!m_currentIndex.isValid() && m_model->rowCount() > 0)
            selectViewRow(0);
        else
            updateCurrent();
        emitIndexChanged();
    }
    if (complete) {
        actionComplete(true, QString());
    } else if (m_actionCancelled && m_actionError.isEmpty()) {
        actionComplete(false, QString());
    } else if (!m_actionMessage.isEmpty()) {
        actionComplete(false, m_actionMessage, m_actionError);
    } else {
        actionComplete(false, errorMessage(), m_actionError);
    }
}

void FileListManagement::actionComplete(bool ok, const QString& message, const QString& detail)
{
    const int kind = m_actionKind;
    const QStringList notes = m_actionNotes;
    // The state goes first: nothing that runs from here on (the dialog's
    // event processing, the message boxes) may see a finished action as running.
    m_actionFiles.clear();
    m_actionText.clear();
    m_actionNotes.clear();
    m_actionError.clear();
    m_actionMessage.clear();
    m_actionCancelled = false;
    m_stepIndex = -1;
    m_actionTotal = 0;
    m_actionKind = ActionNone;
    if (m_progressDialog) {
        // Closing a progress dialog reports a cancel: no longer wanted.
        m_progressDialog->disconnect(this);
        if (ok) {
            m_progressDialog->setValue(m_progressDialog->maximum());
            QTimer::singleShot(kProgressCloseMs, this, &FileListManagement::on_progressTimer);
        } else {
            on_progressTimer();
        }
    }
    if (!message.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, title(), message, QMessageBox::Ok, this);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }
    if (!notes.isEmpty()) {
        const QString text = kind == ActionCopy
                                 ? tr("Some files were not copied:\n%1").arg(notes.join('\n'))
                                 : tr("Some files were not renamed:\n%1").arg(notes.join('\n'));
        QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Ok, this);
        box.exec();
    }
    emit actionFinished(kind, ok);
}

void FileListManagement::on_progressTimer()
{
    // A newer action may have its own dialog by now: only an idle one goes.
    if (!m_progressDialog || m_actionKind != ActionNone)
        return;
    m_progressDialog->disconnect(this);
    m_progressDialog->reset();
    m_progressDialog->close();
    m_progressDialog->deleteLater();
    m_progressDialog = nullptr;
}

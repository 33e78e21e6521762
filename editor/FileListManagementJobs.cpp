// Save, rename and copy as the editor shows them: the questions before a job,
// the progress dialog with Cancel, and the messages at its end. The jobs
// themselves run in the session (TakeJobs), file by file on the services
// that the command-line tool uses too.
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "SafeFileOps.h"
#include "TakeColumns.h"
#include "TakeCopier.h"
#include "TakeEditState.h"
#include "TakeListView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
// The progress dialog of a finished job stays this long (ms).
constexpr int kProgressCloseMs = 1000;
const char kCopyDirKey[] = "CopyFileList";

QString title()
{
    return QCoreApplication::applicationName();
}

// Asks question with Ok and Cancel; true for Ok.
bool askOk(QWidget* parent, const QString& question, QMessageBox::StandardButton preferred)
{
    QMessageBox ask(QMessageBox::Question, title(), question, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    ask.setDefaultButton(preferred);
    ask.setEscapeButton(QMessageBox::Cancel);
    return ask.exec() == QMessageBox::Ok;
}
} // namespace

void FileListManagement::connectJobs()
{
    TakeJobs* jobs = m_session->jobs();
    TakeJobs::Questions questions;
    questions.rebuildIxml = [this](const QString& file, const QString& why) {
        closeProgressDialog();
        QMessageBox ask(QMessageBox::Question, title(),
                        tr("The iXML metadata of %1 cannot be read (%2). Rebuild it from the "
                           "fields Velmora could read? Anything else it held will be lost.")
                            .arg(file, why),
                        QMessageBox::NoButton, this);
        QPushButton* rebuild = ask.addButton(tr("Rebuild"), QMessageBox::AcceptRole);
        QPushButton* cancel = ask.addButton(QMessageBox::Cancel);
        ask.setDefaultButton(cancel);
        ask.setEscapeButton(cancel);
        ask.exec();
        return ask.clickedButton() == rebuild;
    };
    jobs->setQuestions(questions);
    connect(jobs, &TakeJobs::started, this, &FileListManagement::onJobStarted);
    connect(jobs, &TakeJobs::progress, this, [this](int value) {
        if (m_progressDialog)
            m_progressDialog->setValue(value);
    });
    connect(jobs, &TakeJobs::finished, this, &FileListManagement::onJobFinished);
    connect(m_ui.Save, &QPushButton::clicked, this, &FileListManagement::startSave);
    connect(m_ui.pushButton_Rename, &QPushButton::clicked, this, [this] {
        if (m_model->rowCount() > 0)
            startRenameAction();
        else
            QMessageBox::warning(this, title(), tr("No takes present in Take List."));
    });
    connect(m_ui.pushButton_CopyTo, &QPushButton::clicked, this,
            &FileListManagement::startCopyAction);
}

bool FileListManagement::isActionRunning() const
{
    return m_session->jobs()->isRunning();
}

int FileListManagement::actionKind() const
{
    return int(m_session->jobs()->kind());
}

const QHash<QString, TakeEdits>& FileListManagement::writtenFiles() const
{
    return m_session->jobs()->writtenFiles();
}

QProgressDialog* FileListManagement::progressDialog() const
{
    return m_progressDialog.data();
}

// --- Save -------------------------------------------------------------------

void FileListManagement::revertEdits()
{
    restoreCurrent(m_currentIndex);
    updateCurrent();
    InitModifyFlags();
}

void FileListManagement::startSave()
{
    if (!m_currentIndex.isValid())
        return;
    if (isActionRunning()) {
        QMessageBox::warning(this, title(),
                             tr("Please wait until action completes and try again."));
        return;
    }
    TakeEditState& state = m_session->editState();
    bool rateEdited = false;
    bool nameEdited = false;
    if (!state.isEdited(rateEdited, nameEdited))
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
    if (nameEdited && state.duplicateOfCurrent() >= 0) {
        if (!askOk(this,
                   tr("Scene/take duplication has been detected.\n Are you sure you wish to "
                      "continue?\n Duplicates will have their scene name prefixed by '+'."),
                   QMessageBox::Ok)) {
            revertEdits();
            return;
        }
        const QString prefixed = QStringLiteral("+") + state.cell(currentRow(), Scene);
        state.setCell(currentRow(), Scene, prefixed);
        m_ui.Scene->setText(prefixed);
        m_session->markEdited(TakeField::Scene);
    }
    // A save of several takes copies the current take's edits into the others.
    const int current = currentRow();
    const bool multi = m_ui.treeView->selectionModel()->selectedRows().size() > 1;
    QList<QModelIndex> rows{currentModelIndex()};
    if (multi)
        selectedIndexes(rows);
    QVector<TakeSaver::Job> jobs;
    QList<QPersistentModelIndex> saveRows;
    for (const QModelIndex& index : std::as_const(rows)) {
        const QStringList files = state.takeFiles(index.row());
        if (files.isEmpty()) {
            // Nothing has been written: the copies of the edits go again.
            for (const QPersistentModelIndex& done : std::as_const(saveRows)) {
                if (done.row() != current)
                    restoreCurrent(done);
            }
            QMessageBox::warning(
                this, title(),
                tr("Failed to update\n %1 take.").arg(state.cell(index.row(), Path)));
            return;
        }
        if (multi)
            state.copyEditsTo(index.row(), m_ui.checkBox_PreserveStartTC->isChecked());
        const TakeEdits edits = state.editsForRow(index.row(), multi);
        for (const QString& f : files)
            jobs.append({f, edits});
        saveRows << QPersistentModelIndex(index);
    }
    m_saveRows = multi ? saveRows : QList<QPersistentModelIndex>();
    m_session->jobs()->startSave(jobs, multi);
}

// --- Rename and copy ----------------------------------------------------------

QStringList FileListManagement::actionFiles(bool all) const
{
    QList<QModelIndex> rows;
    if (all) {
        for (int r = 0; r < m_model->rowCount(); ++r)
            rows << m_model->index(r, 0);
    } else {
        selectedIndexes(rows);
    }
    QStringList files;
    QSet<QString> seen;
    for (const QModelIndex& index : std::as_const(rows)) {
        for (const QString& f : m_session->editState().takeFiles(index.row())) {
            if (!seen.contains(f)) {
                seen.insert(f);
                files << f;
            }
        }
    }
    return files;
}

void FileListManagement::startRenameAction()
{
    if (isActionRunning() ||
        !askOk(this,
               tr("Selected Takes will be renamed based on their Scene and Take names.\n In "
                  "some cases it might take a few minutes.\n Continue?"),
               QMessageBox::Ok))
        return;
    const QStringList files = actionFiles(false);
    if (files.isEmpty())
        QMessageBox::warning(this, title(), tr("Please select takes to be renamed."));
    else
        m_session->jobs()->startRename(files);
}

void FileListManagement::startCopyAction()
{
    if (isActionRunning() || m_model->rowCount() == 0)
        return;
    QString last = QSettings().value(QLatin1String(kCopyDirKey)).toString();
    if (last.isEmpty())
        last = QDir::toNativeSeparators(QDir::homePath());
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open Destination"), last,
                                                             QFileDialog::ShowDirsOnly |
                                                                 QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    QSettings().setValue(QLatin1String(kCopyDirKey), folder);
    startCopyTo(folder);
}

void FileListManagement::startCopyTo(const QString& folder, bool all)
{
    if (isActionRunning() || m_model->rowCount() == 0 || folder.isEmpty())
        return;
    const QStringList files = actionFiles(all);
    if (files.isEmpty()) {
        QMessageBox::warning(this, title(), tr("Please select takes to copy."));
        return;
    }
    // Copying a take onto itself is refused before anything is copied.
    for (const QString& f : files) {
        if (SafeFileOps::samePath(f, TakeCopier::destinationFor(folder, f))) {
            QMessageBox::warning(this, title(), AudioThread::kMsgSameSource);
            return;
        }
    }
    m_session->jobs()->startCopy(files, folder);
}

// --- Progress and the end of a job -------------------------------------------

void FileListManagement::onJobStarted(TakeJobs::Kind kind, int files)
{
    closeProgressDialog();
    const QString label = kind == TakeJobs::Kind::Save     ? tr("Updating files...")
                          : kind == TakeJobs::Kind::Rename ? tr("Renaming files...")
                                                           : tr("Copying files...");
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
    connect(d, &QProgressDialog::canceled, m_session->jobs(), &TakeJobs::cancel);
    m_progressDialog = d;
    d->show();
}

void FileListManagement::onJobFinished(const TakeJobs::Result& result)
{
    if (result.kind == TakeJobs::Kind::Save) {
        if (result.ok) {
            // Every file has the edits: they are no longer edits.
            InitModifyFlags();
        } else {
            // The other takes show their files again; the next save copies the
            // current take's edits into them anew.
            const int current = currentRow();
            for (const QPersistentModelIndex& row : std::as_const(m_saveRows)) {
                if (row.isValid() && row.row() != current)
                    restoreCurrent(row);
            }
        }
        m_saveRows.clear();
    }
    if (result.kind == TakeJobs::Kind::Rename) {
        if (!m_currentIndex.isValid() && m_model->rowCount() > 0)
            selectViewRow(0);
        else
            updateCurrent();
        emitIndexChanged();
    }
    if (m_progressDialog) {
        // Closing a progress dialog reports a cancel: no longer wanted.
        m_progressDialog->disconnect(m_session->jobs());
        if (result.ok) {
            m_progressDialog->setValue(m_progressDialog->maximum());
            QTimer::singleShot(kProgressCloseMs, this, [this] {
                // A newer job may have its own dialog by now: only an idle one goes.
                if (!isActionRunning())
                    closeProgressDialog();
            });
        } else {
            closeProgressDialog();
        }
    }
    for (const QString& text : {result.message, result.notes}) {
        if (text.isEmpty())
            continue;
        QMessageBox box(QMessageBox::Warning, title(), text, QMessageBox::Ok, this);
        if (text == result.message && !result.detail.isEmpty())
            box.setDetailedText(result.detail);
        box.exec();
    }
    emit actionFinished(int(result.kind), result.ok);
}

void FileListManagement::closeProgressDialog()
{
    if (!m_progressDialog)
        return;
    m_progressDialog->disconnect(m_session->jobs());
    m_progressDialog->reset();
    m_progressDialog->close();
    m_progressDialog->deleteLater();
    m_progressDialog = nullptr;
}

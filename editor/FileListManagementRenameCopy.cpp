// Renaming takes after their scene and take, and copying them to a folder.
// The files are handled by the rename and copy services (TakeRenamer,
// TakeCopier), which "velmora-cli rename" and "velmora-cli copy" use too; the
// progress dialog and the end of the action are shared with the save.
#include "FileListManagement.h"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "SafeFileOps.h"
#include "TakeColumns.h"
#include "TakeCopier.h"
#include "TakeLabel.h"
#include "TakeListView.h"
#include "TakeRenamer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSet>
#include <QSettings>
#include <QTreeView>

using namespace TakeColumns;

namespace
{
const char kCopyDirKey[] = "CopyFileList";

QString title()
{
    return QCoreApplication::applicationName();
}

// The folder of the setting key, or the home folder when it is missing or empty.
QString getLastDir(const QString& key)
{
    const QString folder = QSettings().value(key).toString();
    return folder.isEmpty() ? QDir::toNativeSeparators(QDir::homePath()) : folder;
}
} // namespace

bool FileListManagement::warnWhenNoTakes()
{
    if (m_model->rowCount() > 0)
        return false;
    QMessageBox::warning(this, title(), tr("No takes present in Take List."));
    return true;
}

void FileListManagement::buildActionFileList(bool all)
{
    m_actionFiles.clear();
    QList<QModelIndex> rows;
    if (all) {
        for (int r = 0; r < m_model->rowCount(); ++r)
            rows << m_model->index(r, 0);
    } else {
        selectedIndexes(rows);
    }
    QSet<QString> seen;
    for (const QModelIndex& index : std::as_const(rows)) {
        for (const QString& f : GetFilesToUpdate(index)) {
            if (!seen.contains(f)) {
                seen.insert(f);
                m_actionFiles << f;
            }
        }
    }
}

// --- Rename ----------------------------------------------------------------

void FileListManagement::on_pushButton_Rename_clicked()
{
    if (!warnWhenNoTakes())
        startRenameAction();
}

void FileListManagement::startRenameAction()
{
    if (isActionRunning())
        return;
    QMessageBox ask(QMessageBox::Question, title(),
                    tr("Selected Takes will be renamed based on their Scene and Take names.\n In "
                       "some cases it might take a few minutes.\n Continue?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setDefaultButton(QMessageBox::Ok);
    ask.setEscapeButton(QMessageBox::Cancel);
    if (ask.exec() != QMessageBox::Ok)
        return;
    m_renamer->setNameComponents({QStringLiteral("Scene"), QStringLiteral("Take")});
    m_actionKind = ActionRename;
    startRename(false);
}

void FileListManagement::startRename(bool all)
{
    m_stepIndex = 0;
    buildActionFileList(all);
    if (m_actionFiles.isEmpty()) {
        m_actionKind = ActionNone;
        QMessageBox::warning(this, title(), tr("Please select takes to be renamed."));
        return;
    }
    m_actionError.clear();
    m_actionNotes.clear();
    m_actionCancelled = false;
    m_actionTotal = int(m_actionFiles.size());
    makeProgressDialog(tr("Renaming files..."), m_actionTotal);
    if (!m_renamer->start(m_actionFiles, true))
        actionComplete(false, tr("Error occurred during process."));
}

void FileListManagement::updatePreviouslyRenamed(const QString& oldPath, const QString& newPath)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (cell(row, Path) != oldPath)
            continue;
        setCell(row, Path, newPath);
        QString name = QFileInfo(newPath).fileName();
        const TakeLabel label = TakeLabel::parse(cell(row, Channels));
        if (label.kind == TakeLabel::Kind::Mono && label.fileCount() > 1)
            name = KQHelper::takeName(name, label.fileCount());
        setCell(row, CurrentName, name);
        setCell(row, FileName, name);
        return;
    }
}

// --- Copy ------------------------------------------------------------------

void FileListManagement::on_pushButton_CopyTo_clicked()
{
    startCopyAction();
}

void FileListManagement::startCopyAction()
{
    startCopy(false);
}

void FileListManagement::startCopy(bool all)
{
    if (isActionRunning() || m_model->rowCount() == 0)
        return;
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Open Destination"), getLastDir(QLatin1String(kCopyDirKey)),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return;
    QSettings().setValue(QLatin1String(kCopyDirKey), folder);
    startCopyTo(folder, all);
}

void FileListManagement::startCopyTo(const QString& folder, bool all)
{
    if (isActionRunning() || m_model->rowCount() == 0 || folder.isEmpty())
        return;
    m_actionKind = ActionCopy;
    buildActionFileList(all);
    if (m_actionFiles.isEmpty()) {
        m_actionKind = ActionNone;
        QMessageBox::warning(this, title(), tr("Please select takes to copy."));
        return;
    }
    // Copying a take onto itself is refused before anything is copied.
    for (const QString& f : std::as_const(m_actionFiles)) {
        if (SafeFileOps::samePath(f, TakeCopier::destinationFor(folder, f))) {
            m_actionKind = ActionNone;
            m_actionFiles.clear();
            QMessageBox::warning(this, title(), AudioThread::kMsgSameSource);
            return;
        }
    }
    m_actionText = folder;
    m_stepIndex = 0;
    m_actionError.clear();
    m_actionNotes.clear();
    m_actionCancelled = false;
    m_actionTotal = int(m_actionFiles.size());
    m_copier->setDestination(folder);
    makeProgressDialog(tr("Copying files..."), m_actionTotal);
    if (!m_copier->start(m_actionFiles, true))
        actionComplete(false, tr("Error occurred during process."));
}

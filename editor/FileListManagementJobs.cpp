// Save, rename and copy as the editor shows them: the questions before a job,
// the answers to the job's own questions, and the messages at its end. The
// jobs run in the session (TakeJobs) on the services the command-line tool
// uses too; the edits come from the session's edit state (TakeEditState).
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "EditorQuestions.h"
#include "JobProgress.h"
#include "TakeDialogs.h"
#include "TakeListView.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>

void FileListManagement::connectJobs()
{
    TakeJobs* jobs = m_session->jobs();
    m_jobProgress = new JobProgress(jobs, this);
    jobs->setQuestions(EditorQuestions::make(this, m_jobProgress));
    connect(m_session, &TakeSession::currentTakeRefreshed, this,
            &FileListManagement::updateCurrent);
    connect(jobs, &TakeJobs::finished, this, &FileListManagement::onJobFinished);
    connect(m_ui.Save, &QPushButton::clicked, this, &FileListManagement::startSave);
    connect(m_ui.pushButton_Rename, &QPushButton::clicked, this, [this] {
        if (m_model->rowCount() > 0)
            startRenameAction();
        else
            QMessageBox::warning(this, QCoreApplication::applicationName(),
                                 tr("No takes present in Take List."));
    });
    connect(m_ui.pushButton_CopyTo, &QPushButton::clicked, this,
            &FileListManagement::startCopyAction);
}

QProgressDialog* FileListManagement::progressDialog() const
{
    return m_jobProgress->dialog();
}

// --- Save -------------------------------------------------------------------

void FileListManagement::startSave()
{
    // A save of several takes copies the current take's edits into the others.
    m_session->saveSelected();
}

// --- Rename and copy ----------------------------------------------------------

void FileListManagement::startRenameAction()
{
    if (m_session->jobs()->isRunning() ||
        !EditorQuestions::askOk(this, tr("Selected Takes will be renamed based on their Scene and "
                                         "Take names.\n In some cases it might take a few "
                                         "minutes.\n Continue?")))
        return;
    m_session->renameTakes(selectedModelRows());
}

void FileListManagement::startCopyAction()
{
    if (m_session->jobs()->isRunning() || m_model->rowCount() == 0)
        return;
    const QString folder = TakeDialogs::chooseCopyFolder(this);
    if (!folder.isEmpty())
        startCopyTo(folder);
}

void FileListManagement::startCopyTo(const QString& folder)
{
    if (!m_session->jobs()->isRunning() && m_model->rowCount() > 0 && !folder.isEmpty())
        m_session->copyTakes(selectedModelRows(), folder);
}

// --- The end of a job -----------------------------------------------------------

void FileListManagement::onJobFinished(const TakeJobs::Result& result)
{
    if (result.kind == TakeJobs::Kind::Rename) {
        if (!m_currentIndex.isValid() && m_model->rowCount() > 0)
            selectViewRow(0);
        else
            updateCurrent();
        emitIndexChanged();
    }
    m_jobProgress->finish(result.ok);
    EditorQuestions::tellJobEnd(this, result);
    emit actionFinished(int(result.kind), result.ok);
}

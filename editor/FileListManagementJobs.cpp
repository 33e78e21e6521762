// Save, rename and copy as the editor shows them: the questions before a job,
// the answers to the job's own questions, and the messages at its end. The
// jobs run in the session (TakeJobs) on the services the command-line tool
// uses too; the edits come from the session's edit state (TakeEditState).
#include "FileListManagement.h"

#include "AudioFileModel.h"
#include "JobProgress.h"
#include "TakeDialogs.h"
#include "TakeListView.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>

namespace
{
QString title()
{
    return QCoreApplication::applicationName();
}

// Asks question with Ok and Cancel (Ok the default); true for Ok.
bool askOk(QWidget* parent, const QString& question)
{
    QMessageBox ask(QMessageBox::Question, title(), question, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    ask.setDefaultButton(QMessageBox::Ok);
    ask.setEscapeButton(QMessageBox::Cancel);
    return ask.exec() == QMessageBox::Ok;
}
} // namespace

void FileListManagement::connectJobs()
{
    TakeJobs* jobs = m_session->jobs();
    m_jobProgress = new JobProgress(jobs, this);
    TakeJobs::Questions questions;
    questions.rebuildIxml = [this](const QString& file, const QString& why) {
        m_jobProgress->close();
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
    questions.confirmRateChange = [this] {
        QMessageBox ask(QMessageBox::Question, title(),
                        tr("Are you sure you wish to save these changes?\n Click button below to "
                           "discard changes, or click 'OK' to continue."),
                        QMessageBox::Ok | QMessageBox::Discard, this);
        ask.setDefaultButton(QMessageBox::Discard);
        ask.setEscapeButton(QMessageBox::Discard);
        ask.exec();
        return ask.clickedButton() == ask.button(QMessageBox::Ok);
    };
    questions.confirmDuplicate = [this] {
        return askOk(this, tr("Scene/take duplication has been detected.\n Are you sure you wish "
                              "to continue?\n Duplicates will have their scene name prefixed by "
                              "'+'."));
    };
    questions.warn = [this](const QString& text) { QMessageBox::warning(this, title(), text); };
    jobs->setQuestions(questions);
    connect(m_session, &TakeSession::currentTakeRefreshed, this,
            &FileListManagement::updateCurrent);
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

QProgressDialog* FileListManagement::progressDialog() const
{
    return m_jobProgress->dialog();
}

// --- Save -------------------------------------------------------------------

void FileListManagement::startSave()
{
    if (!m_currentIndex.isValid())
        return;
    // A save of several takes copies the current take's edits into the others.
    const bool multi = m_ui.treeView->selectionModel()->selectedRows().size() > 1;
    m_session->saveEdits(multi ? selectedModelRows() : QList<int>{currentRow()}, multi,
                         m_ui.checkBox_PreserveStartTC->isChecked());
}

// --- Rename and copy ----------------------------------------------------------

void FileListManagement::startRenameAction()
{
    if (m_session->jobs()->isRunning() ||
        !askOk(this, tr("Selected Takes will be renamed based on their Scene and Take names.\n "
                        "In some cases it might take a few minutes.\n Continue?")))
        return;
    m_session->renameTakes(selectedModelRows());
}

void FileListManagement::startCopyAction()
{
    if (m_session->jobs()->isRunning() || m_model->rowCount() == 0)
        return;
    const QString folder = TakeDialogs::chooseCopyFolder(this);
    if (folder.isEmpty())
        return;
    startCopyTo(folder);
}

void FileListManagement::startCopyTo(const QString& folder, bool all)
{
    if (m_session->jobs()->isRunning() || m_model->rowCount() == 0 || folder.isEmpty())
        return;
    QList<int> rows;
    for (int r = 0; all && r < m_model->rowCount(); ++r)
        rows << r;
    m_session->copyTakes(all ? rows : selectedModelRows(), folder);
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

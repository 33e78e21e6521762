#pragma once

#include "TakeJobs.h"

#include <QObject>
#include <QPointer>

class QProgressDialog;
class QWidget;

// The window-modal progress dialog ("actionProgress") of a session's save,
// rename or copy: opened when a job starts, its Cancel stops the job, it
// fills as files are done; after a job that succeeded it stays a second at
// full, after any other it closes at once. GUI thread; jobs and the parent
// widget are not owned.
class JobProgress : public QObject
{
    Q_OBJECT

public:
    JobProgress(TakeJobs* jobs, QWidget* parent);
    QProgressDialog* dialog() const;
    // Ends the dialog of a job that ended (ok: it succeeded).
    void finish(bool ok);
    // Closes the dialog now (before a question).
    void close();

private:
    void open(TakeJobs::Kind kind, int files);

    TakeJobs* m_jobs;
    QWidget* m_parent;
    QPointer<QProgressDialog> m_dialog;
};

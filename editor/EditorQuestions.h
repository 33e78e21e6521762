#pragma once

#include "TakeJobs.h"

#include <QString>
#include <QStringList>

class JobProgress;
class QWidget;

// The dialogs through which the editor asks and tells the user: the
// questions of the session's jobs, the unsaved-edits prompt on moving to
// another take, the confirmations before rename and delete, the import and
// copy folders, and the messages at the end of a job. Each question's
// default button is the one that keeps the user's work or files. GUI thread.
namespace EditorQuestions
{
// The session's questions, answered with boxes over parent; progress is
// closed before a question about a running job.
TakeJobs::Questions make(QWidget* parent, JobProgress* progress);
// The prompt on moving away from an edited take: true for Discard, false
// to go on editing it (OK, the default, or the box closed).
bool discardOnMove(QWidget* parent);
// A question with OK and Cancel; true for OK. okDefault: OK is the default
// button, else Cancel.
bool askOk(QWidget* parent, const QString& question, bool okDefault = true);
// The warning and the notes of a job that ended, each in a box of its own.
void tellJobEnd(QWidget* parent, const TakeJobs::Result& result);
} // namespace EditorQuestions

#pragma once

#include <QObject>
#include <QPointer>

class QProgressDialog;
class QTimer;
class QWidget;
class TakeSession;

// What the user sees of a session's import: a busy cursor while it runs and,
// when it takes longer than a moment, a window-modal progress dialog
// ("importProgress") with the files read and Cancel. GUI thread; the session
// and the parent widget are not owned.
class ImportProgress : public QObject
{
    Q_OBJECT

public:
    ImportProgress(TakeSession* session, QWidget* parent);
    // Milliseconds since the running (or last) import started.
    qint64 elapsedMs() const;
    // Closes the dialog and restores the cursor (the import ended).
    void finish();

private:
    void start();
    void poll();

    TakeSession* m_session;
    QWidget* m_parent;
    QTimer* m_timer; // child
    QPointer<QProgressDialog> m_dialog;
    qint64 m_startMs = 0;
};

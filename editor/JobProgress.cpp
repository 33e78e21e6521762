#include "JobProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QTimer>

namespace
{
// The progress dialog of a finished job stays this long (ms).
constexpr int kCloseMs = 1000;
} // namespace

JobProgress::JobProgress(TakeJobs* jobs, QWidget* parent)
    : QObject(parent), m_jobs(jobs), m_parent(parent)
{
    connect(jobs, &TakeJobs::started, this, &JobProgress::open);
    connect(jobs, &TakeJobs::progress, this, [this](int value) {
        if (m_dialog)
            m_dialog->setValue(value);
    });
}

QProgressDialog* JobProgress::dialog() const
{
    return m_dialog.data();
}

void JobProgress::open(TakeJobs::Kind kind, int files)
{
    close();
    const QString label = kind == TakeJobs::Kind::Save     ? tr("Updating files...")
                          : kind == TakeJobs::Kind::Rename ? tr("Renaming files...")
                                                           : tr("Copying files...");
    auto* d = new QProgressDialog(label, tr("Cancel"), 0, qMax(1, files) * 100, m_parent);
    d->setObjectName(QStringLiteral("actionProgress"));
    d->setWindowTitle(QCoreApplication::applicationName());
    d->setWindowFlags(d->windowFlags() | Qt::CustomizeWindowHint);
    d->setWindowFlag(Qt::WindowCloseButtonHint, false);
    d->setWindowModality(Qt::WindowModal);
    d->setAutoClose(false);
    d->setAutoReset(false);
    d->setMinimumDuration(0);
    d->setValue(0);
    connect(d, &QProgressDialog::canceled, m_jobs, &TakeJobs::cancel);
    m_dialog = d;
    d->show();
}

void JobProgress::finish(bool ok)
{
    if (!m_dialog)
        return;
    // Closing a progress dialog reports a cancel: no longer wanted.
    m_dialog->disconnect(m_jobs);
    if (!ok) {
        close();
        return;
    }
    m_dialog->setValue(m_dialog->maximum());
    QTimer::singleShot(kCloseMs, this, [this] {
        // A newer job may have its own dialog by now: only an idle one goes.
        if (!m_jobs->isRunning())
            close();
    });
}

void JobProgress::close()
{
    if (!m_dialog)
        return;
    m_dialog->disconnect(m_jobs);
    m_dialog->reset();
    m_dialog->close();
    m_dialog->deleteLater();
    m_dialog = nullptr;
}

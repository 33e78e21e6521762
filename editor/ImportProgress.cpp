#include "ImportProgress.h"

#include "TakeSession.h"

#include <QApplication>
#include <QDateTime>
#include <QProgressDialog>
#include <QTimer>

namespace
{
// An import that takes longer than this shows a progress dialog (ms).
constexpr int kDialogDelayMs = 400;
constexpr int kPollMs = 100;
} // namespace

ImportProgress::ImportProgress(TakeSession* session, QWidget* parent)
    : QObject(parent), m_session(session), m_parent(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &ImportProgress::poll);
    connect(session, &TakeSession::importStarted, this, &ImportProgress::start);
}

qint64 ImportProgress::elapsedMs() const
{
    return QDateTime::currentMSecsSinceEpoch() - m_startMs;
}

void ImportProgress::start()
{
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_startMs = QDateTime::currentMSecsSinceEpoch();
    m_timer->start();
}

void ImportProgress::poll()
{
    if (!m_session->isImporting())
        return;
    if (!m_dialog) {
        if (elapsedMs() < kDialogDelayMs)
            return;
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setObjectName(QStringLiteral("importProgress"));
        m_dialog->setWindowTitle(QCoreApplication::applicationName());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setMinimumWidth(360);
        connect(m_dialog, &QProgressDialog::canceled, m_session, &TakeSession::cancelImport);
    }
    const int total = m_session->importFilesTotal();
    const int read = m_session->importFilesRead();
    if (total == 0) {
        m_dialog->setLabelText(tr("Looking for take files..."));
        m_dialog->setRange(0, 0);
    } else if (read < total) {
        m_dialog->setLabelText(tr("Reading take files... %1 of %2").arg(read).arg(total));
        m_dialog->setRange(0, total);
        m_dialog->setValue(read);
    } else {
        m_dialog->setLabelText(tr("Grouping %1 files into takes...").arg(total));
        m_dialog->setRange(0, 0);
    }
    m_dialog->show();
}

void ImportProgress::finish()
{
    m_timer->stop();
    if (m_dialog) {
        m_dialog->close();
        m_dialog->deleteLater();
        m_dialog = nullptr;
    }
    QApplication::restoreOverrideCursor();
}

#include "TakeSaver.h"

#include "OpsLog.h"
#include "SafeFileOps.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

TakeSaver::TakeSaver(QObject* parent) : QObject(parent)
{
    connect(&m_thread, &AudioThread::progressUpdate, this, &TakeSaver::on_progressUpdate);
}

// m_thread's destructor stops a rewrite in progress, which puts its take back.
TakeSaver::~TakeSaver() = default;

QString TakeSaver::backupPathFor(const QString& path)
{
    return SafeFileOps::backupPathFor(path);
}

bool TakeSaver::start(const QStringList& paths, const TakeEdits& edits, bool multi,
                      bool stopOnError)
{
    QVector<Job> jobs;
    jobs.reserve(paths.size());
    for (const QString& p : paths)
        jobs.append({p, edits});
    return start(jobs, multi, stopOnError);
}

bool TakeSaver::start(const QVector<Job>& jobs, bool multi, bool stopOnError)
{
    if (m_running || jobs.isEmpty())
        return false;
    m_jobs = jobs;
    m_multi = multi;
    m_stopOnError = stopOnError;
    m_running = true;
    m_stopAfterFile = false;
    m_aborted = false;
    m_ok = true;
    m_index = -1;
    m_results.clear();
    QMetaObject::invokeMethod(this, &TakeSaver::startNext, Qt::QueuedConnection);
    return true;
}

void TakeSaver::cancel()
{
    m_stopAfterFile = true;
}

void TakeSaver::abort()
{
    if (!m_running)
        return;
    m_stopAfterFile = true;
    m_aborted = true;
    // Stops the rewrite at its next chunk; the worker puts the take back and
    // sends STATE_ERROR, which ends the file as cancelled.
    m_thread.CleanUp();
}

void TakeSaver::startNext()
{
    if (!m_running)
        return;
    ++m_index;
    if (m_stopAfterFile || m_index >= m_jobs.size()) {
        complete();
        return;
    }
    emit fileStarted(m_index, m_jobs.at(m_index).path);
    // Locked before it is read: what is read is what gets replaced.
    const QString path = SafeFileOps::resolvedPath(m_jobs.at(m_index).path);
    QString why;
    m_lock = std::make_unique<TakeLock>();
    if (!m_lock->acquire(path, &why)) {
        finishFile(Outcome::Failed, why);
        return;
    }
    m_file = std::make_unique<AudioFile>();
    if (!m_file->Open(path)) {
        finishFile(Outcome::Failed, m_file->errorText());
        return;
    }
    m_jobs.at(m_index).edits.applyTo(*m_file, m_multi);
    QString target = path;
    m_backup = backupPathFor(path);
    m_fastDone = false;
    m_inUpdateCall = true;
    const bool started = m_thread.Update(target, m_backup, m_file.get());
    m_inUpdateCall = false;
    if (!started) {
        finishFile(Outcome::Failed, m_thread.m_errorMsg.isEmpty()
                                        ? QStringLiteral("the take cannot be written")
                                        : m_thread.m_errorMsg);
    } else if (m_fastDone) {
        finishFile(Outcome::UpdatedInPlace, QString());
    }
    // Otherwise the worker rewrites the file; its final state arrives later.
}

void TakeSaver::on_progressUpdate(int state, quint32 value)
{
    if (!m_running)
        return;
    switch (state) {
    case AudioThread::STATE_PROGRESS:
        emit fileProgress(m_index, value);
        break;
    case AudioThread::STATE_DONE:
        if (m_inUpdateCall)
            m_fastDone = true;
        else
            finishFile(Outcome::Rewritten, QString());
        break;
    case AudioThread::STATE_ERROR:
        if (m_aborted)
            finishFile(Outcome::Cancelled, QStringLiteral("cancelled"));
        else
            finishFile(Outcome::Failed, m_thread.m_errorMsg.isEmpty()
                                            ? QStringLiteral("the take cannot be written")
                                            : m_thread.m_errorMsg);
        break;
    default:
        break;
    }
}

void TakeSaver::finishFile(Outcome outcome, QString error)
{
    const QString path = m_index < m_jobs.size() ? m_jobs.at(m_index).path : QString();
    // The worker synced the new file before STATE_DONE, so its backup (made
    // by this run, under the name Update chose) can go now.
    if (outcome == Outcome::Rewritten && !m_backup.isEmpty() && QFileInfo::exists(m_backup) &&
        !QFile::remove(m_backup))
        qCWarning(lcOps) << "cannot remove the backup" << m_backup;
    m_file.reset();
    m_lock.reset();
    FileResult r;
    r.path = path;
    r.outcome = outcome;
    r.error = error;
    m_results.append(r);
    if (outcome == Outcome::Failed || outcome == Outcome::Cancelled) {
        m_ok = false;
        if (m_stopOnError)
            m_stopAfterFile = true;
    }
    emit fileFinished(m_index, r);
    QMetaObject::invokeMethod(this, &TakeSaver::startNext, Qt::QueuedConnection);
}

void TakeSaver::complete()
{
    m_running = false;
    m_file.reset();
    m_lock.reset();
    emit finished(m_ok);
}

QVector<TakeSaver::FileResult> TakeSaver::run(const QStringList& paths, const TakeEdits& edits,
                                              bool multi, bool stopOnError)
{
    QEventLoop loop;
    const QMetaObject::Connection c = connect(this, &TakeSaver::finished, &loop, &QEventLoop::quit);
    if (start(paths, edits, multi, stopOnError))
        loop.exec();
    disconnect(c);
    return m_results;
}

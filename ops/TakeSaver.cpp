#include "TakeSaver.h"

#include "AudioFile.h"
#include "OpsLog.h"
#include "SafeFileOps.h"

#include <QFile>
#include <QFileInfo>

TakeSaver::TakeSaver(QObject* parent) : TakeBatch(parent)
{
    setFailureText(QStringLiteral("the take cannot be written"));
}

// The runner's worker stops a rewrite in progress, which puts its take back;
// m_file is only read while Update() is called.
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
    if (isRunning() || jobs.isEmpty())
        return false;
    QStringList paths;
    for (const Job& job : jobs)
        paths << job.path;
    m_jobs = jobs;
    m_multi = multi;
    return TakeBatch::start(paths, stopOnError);
}

bool TakeSaver::startItem(ItemResult& r)
{
    r.outcome = Outcome::Failed;
    r.target = r.source;
    // Locked before it is read: what is read is what gets replaced.
    const QString path = SafeFileOps::resolvedPath(r.source);
    if (!lockTake(path, &r.reason))
        return false;
    m_file = std::make_unique<AudioFile>();
    if (!m_file->Open(path)) {
        r.reason = m_file->errorText();
        return false;
    }
    m_jobs.at(currentIndex()).edits.applyTo(*m_file, m_multi);
    QString target = path;
    m_backup = backupPathFor(path);
    if (thread().Update(target, m_backup, m_file.get()))
        return true; // an in-place update has sent its final state already
    r.reason = workerError();
    r.damaged = !m_file->m_info.damage.isEmpty();
    const QString& ixml = m_file->m_info.ixmlError;
    if (!r.damaged && !ixml.isEmpty() && !m_file->m_rebuildIxml && r.reason.contains(ixml))
        r.ixmlError = ixml;
    return false;
}

void TakeSaver::itemSucceeded(ItemResult& r)
{
    // The worker synced the new file before STATE_DONE, so its backup (made
    // by this run, under the name Update chose) can go now.
    if (!r.inPlace && !m_backup.isEmpty() && QFileInfo::exists(m_backup) &&
        !QFile::remove(m_backup))
        qCWarning(lcOps) << "cannot remove the backup" << m_backup;
    itemEnded();
}

void TakeSaver::itemEnded()
{
    m_file.reset();
    m_backup.clear();
}

QVector<TakeBatch::ItemResult> TakeSaver::run(const QStringList& paths, const TakeEdits& edits,
                                              bool multi, bool stopOnError)
{
    QVector<Job> jobs;
    for (const QString& p : paths)
        jobs.append({p, edits});
    if (isRunning() || jobs.isEmpty())
        return {};
    QStringList sources;
    for (const Job& job : jobs)
        sources << job.path;
    m_jobs = jobs;
    m_multi = multi;
    return TakeBatch::run(sources, stopOnError);
}

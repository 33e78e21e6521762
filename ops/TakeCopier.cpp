#include "TakeCopier.h"

#include "SafeFileOps.h"

#include <QDir>
#include <QFileInfo>

TakeCopier::TakeCopier(QObject* parent) : TakeBatch(parent) {}

QString TakeCopier::destinationFor(const QString& folder, const QString& source)
{
    return QDir(folder).filePath(QFileInfo(source).fileName());
}

bool TakeCopier::startItem(ItemResult& r)
{
    r.target = destinationFor(m_folder, r.source);
    if (m_folder.isEmpty() || !QFileInfo(m_folder).isDir()) {
        r.outcome = Outcome::Failed;
        r.reason = QStringLiteral("%1: no such folder").arg(m_folder);
        return false;
    }
    if (SafeFileOps::samePath(r.source, r.target)) {
        r.outcome = Outcome::Failed;
        r.reason = AudioThread::kMsgSameSource;
        return false;
    }
    if (!m_overwrite && (QFileInfo::exists(r.target) || QFileInfo(r.target).isSymLink())) {
        r.outcome = Outcome::Skipped;
        r.reason = QStringLiteral("%1 already exists").arg(r.target);
        return false;
    }
    // Held until the copy ends: a save of the source meanwhile would hand the
    // copy half-patched headers, and a backup left by an interrupted save
    // means the source itself may be incomplete.
    if (!lockTake(r.source, &r.reason)) {
        r.outcome = Outcome::Refused;
        return false;
    }
    QString destination = r.target;
    QString source = r.source;
    if (!thread().Copy(destination, source)) {
        // The entry function refuses a damaged take, saying why.
        const QString why = thread().m_errorMsg;
        r.outcome = why.isEmpty() ? Outcome::Failed : Outcome::Refused;
        r.reason = why.isEmpty() ? QStringLiteral("another operation is still running") : why;
        return false;
    }
    return true;
}

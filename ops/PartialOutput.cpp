#include "PartialOutput.h"

#include "SafeFileOps.h"

#include "OpsLog.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstdio>

PartialOutput::PartialOutput(const QString& finalPath)
    : m_final(finalPath), m_partial(SafeFileOps::partialPathFor(finalPath))
{
}

PartialOutput::~PartialOutput()
{
    if (!m_committed)
        discard();
}

void PartialOutput::adopt(const AudioFile& record)
{
    m_file = record;
    m_file.m_bext.SetHeader(&m_file.m_info.bextHeader);
    if (m_file.m_info.hasBext)
        m_file.m_bext.Parse(&m_file.m_info.bextHeader);
}

void PartialOutput::carryChunksFrom(QIODevice* source, bool keepIxml)
{
    m_source.file = source;
    m_source.keepIxml = keepIxml;
}

bool PartialOutput::begin(QString* error)
{
    // A folder or a file at the final path marked read-only is respected, also
    // by a privileged user.
    QString problem = SafeFileOps::folderWriteProblem(m_final);
    if (problem.isEmpty() && QFileInfo(m_final).isFile())
        problem = SafeFileOps::fileWriteProblem(m_final);
    if (!problem.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_final, problem);
        return false;
    }
    // A partial file of this name is a leftover of an interrupted run.
    QFile::remove(m_partial);
    {
        QFile create(m_partial);
        if (!create.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(m_partial, create.errorString());
            return false;
        }
    }
    m_begun = true;
    m_file.setFileName(m_partial);
    if (!m_file.WriteRiffHdrs(m_source)) {
        if (error)
            *error = QStringLiteral("%1: the headers cannot be written: %2")
                         .arg(m_final, m_file.errorText().isEmpty() ? m_file.errorString()
                                                                    : m_file.errorText());
        return false;
    }
    return true;
}

bool PartialOutput::write(const char* data, qint64 size, QString* error)
{
    if (size <= 0)
        return true;
    QString why;
    if (!SafeFileOps::writeAll(m_file, data, size, &why)) {
        if (error)
            *error = QStringLiteral("%1: write failed: %2").arg(m_final, why);
        return false;
    }
    m_written += quint64(size);
    return true;
}

bool PartialOutput::copyFrom(QFile& src, quint64 srcPos, qint64 size, QByteArray& buffer,
                             bool& kernelCopy, QString* error)
{
    QString why;
    const quint64 at = m_file.m_fileDataPos + m_written;
    bool ok = SafeFileOps::flush(m_file, &why);
    if (!ok)
        why.prepend(QStringLiteral("write failed: "));
    else
        ok = SafeFileOps::copyBytes(src, srcPos, m_file, at, size, buffer, kernelCopy, false,
                                    &why) &&
             m_file.seek(qint64(at) + size);
    if (!ok) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(
                m_final,
                why.isEmpty() ? QStringLiteral("write failed: ") + m_file.errorString() : why);
        return false;
    }
    m_written += quint64(size);
    return true;
}

bool PartialOutput::commit(QString* error)
{
    const QFileInfo at(m_final);
    const bool replaces = at.exists() || at.isSymLink();
    if (!finishPartial(error))
        return false;
    if (std::rename(QFile::encodeName(m_partial).constData(),
                    QFile::encodeName(m_final).constData()) != 0) {
        if (error)
            *error = QStringLiteral("%1: cannot be created: %2")
                         .arg(m_final, SafeFileOps::lastErrorText());
        return false;
    }
    m_committed = true;
    if (replaces)
        SafeFileOps::syncFolderOf(m_final);
    return true;
}

void PartialOutput::discard()
{
    m_file.Close();
    if (m_committed)
        QFile::remove(m_final);
    else if (m_begun)
        QFile::remove(m_partial);
    m_begun = false;
    m_committed = false;
}

bool PartialOutput::finishPartial(QString* error)
{
    if (!m_begun || !m_file.isOpen()) {
        if (error)
            *error = QStringLiteral("%1: not written").arg(m_final);
        return false;
    }
    QString why;
    if ((m_written & 1) && !SafeFileOps::writeAll(m_file, "\0", 1, &why)) {
        if (error)
            *error = QStringLiteral("%1: write failed: %2").arg(m_final, why);
        return false;
    }
    if (!m_file.WriteTrailingChunks(m_source)) {
        if (error)
            *error = QStringLiteral("%1: write failed: %2").arg(m_final, m_file.errorText());
        return false;
    }
    // The file a replaced one gives way to must be on the disk before the old
    // one is removed; a new file only needs to reach the kernel.
    const QFileInfo at(m_final);
    const bool replaces = at.exists() || at.isSymLink();
    if (!(replaces ? SafeFileOps::syncFile(m_file, &why) : SafeFileOps::flush(m_file, &why))) {
        if (error)
            *error = QStringLiteral("%1: write failed: %2")
                         .arg(m_final, why.isEmpty() ? m_file.errorString() : why);
        return false;
    }
    m_file.Close();
    return true;
}

QString PartialOutput::asidePathFor(const QString& finalPath)
{
    for (int n = 1; n <= 99; ++n) {
        const QString p =
            finalPath + QStringLiteral(".velmora-old") + (n > 1 ? QString::number(n) : QString());
        if (!QFileInfo::exists(p) && !QFileInfo(p).isSymLink())
            return p;
    }
    return QString();
}

bool PartialOutput::commitAll(const std::vector<PartialOutput*>& outputs, QString* error)
{
    for (PartialOutput* o : outputs) {
        if (!o->finishPartial(error))
            return false;
    }
    // Only files are moved aside: a folder moved away and never put back
    // would be lost to its owner.
    for (PartialOutput* o : outputs) {
        const QFileInfo fi(o->m_final);
        if (fi.exists() && !fi.isFile()) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(
                    o->m_final, fi.isDir() ? QStringLiteral("a folder has this name")
                                           : QStringLiteral("not a regular file"));
            return false;
        }
    }

    struct Placed {
        PartialOutput* output;
        QString aside; // where the file it replaced waits; empty when none
    };
    std::vector<Placed> placed;
    QString failure;
    // Puts the file moved aside back under its name; on failure the message
    // tells where it is.
    const auto putBack = [&failure](const QString& aside, const QString& finalPath) {
        QString why;
        if (!SafeFileOps::renameNoReplace(aside, finalPath, &why))
            failure += QStringLiteral(" The earlier file is kept as %1 (%2).").arg(aside, why);
    };
    for (PartialOutput* o : outputs) {
        QString why;
        QString aside;
        const QFileInfo fi(o->m_final);
        if (fi.exists() || fi.isSymLink()) {
            aside = asidePathFor(o->m_final);
            if (aside.isEmpty()) {
                failure = QStringLiteral("%1: no free name to move the earlier file aside")
                              .arg(o->m_final);
                break;
            }
            if (!SafeFileOps::renameNoReplace(o->m_final, aside, &why)) {
                failure = QStringLiteral("%1: the earlier file cannot be moved aside: %2")
                              .arg(o->m_final, why);
                break;
            }
        }
        if (!SafeFileOps::renameNoReplace(o->m_partial, o->m_final, &why)) {
            failure = QStringLiteral("%1: cannot be created: %2").arg(o->m_final, why);
            if (!aside.isEmpty())
                putBack(aside, o->m_final);
            break;
        }
        o->m_committed = true;
        placed.push_back({o, aside});
    }

    if (failure.isEmpty()) {
        // The new names must be durable before the files they replaced go.
        QSet<QString> synced;
        for (const Placed& p : placed) {
            const QString folder = QFileInfo(p.output->m_final).absolutePath();
            if (!p.aside.isEmpty() && !synced.contains(folder)) {
                SafeFileOps::syncFolderOf(p.output->m_final);
                synced.insert(folder);
            }
        }
        for (const Placed& p : placed) {
            if (!p.aside.isEmpty() && !QFile::remove(p.aside))
                qCWarning(lcOps) << "the replaced file cannot be removed:" << p.aside;
        }
        return true;
    }

    // Back to where the run started, last to first: the new files go, the
    // earlier ones return.
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        PartialOutput* o = it->output;
        QFile::remove(o->m_final);
        o->m_committed = false;
        o->m_begun = false;
        if (!it->aside.isEmpty())
            putBack(it->aside, o->m_final);
    }
    for (const Placed& p : placed)
        SafeFileOps::syncFolderOf(p.output->m_final);
    if (error)
        *error = failure;
    return false;
}

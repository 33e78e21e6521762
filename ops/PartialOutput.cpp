#include "PartialOutput.h"

#include "SafeFileOps.h"

#include <QFile>
#include <QFileInfo>

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
    if (!m_file.flush() ||
        !SafeFileOps::copyBytes(src, srcPos, m_file, at, size, buffer, kernelCopy, false, &why) ||
        !m_file.seek(qint64(at) + size)) {
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
    // A file that replaces another must be on the disk before the rename
    // makes the old one unreachable; a new file only needs to reach the kernel.
    const bool replaces = QFileInfo::exists(m_final);
    const bool flushed = replaces ? SafeFileOps::syncFile(m_file, &why) : m_file.flush();
    if (!flushed) {
        if (error)
            *error = QStringLiteral("%1: write failed: %2")
                         .arg(m_final, why.isEmpty() ? m_file.errorString() : why);
        return false;
    }
    m_file.Close();
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

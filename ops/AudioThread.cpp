#include "AudioThread.h"

#include "OpsLog.h"
#include "PartialOutput.h"
#include "SafeFileOps.h"
#include "TakeLock.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcOps, "velmora.ops", QtWarningMsg)

using namespace SoundDefs;

const QString AudioThread::kMsgCannotOpen = QStringLiteral("Can not open one of the file");
const QString AudioThread::kMsgCannotOpenDst = QStringLiteral("Can not open dst file (access)");
const QString AudioThread::kMsgSizeLimit = QStringLiteral(
    "Operation cannot be completed. File exceeds Broadcast Wave Format file size limit.");
const QString AudioThread::kMsgSameSource =
    QStringLiteral("Source and Destination are the same.\n Please select a different Destination.");
const QString AudioThread::kMsgCannotCombine =
    QStringLiteral("The selected files cannot be combined.\n Parameters do not match.");

namespace
{

const QString kMsgFlac = QStringLiteral("FLAC takes cannot be written");
// A RIFF file must stay below 4 GiB: its sizes are 32-bit.
constexpr quint64 kFileSizeLimit = quint64(1) << 32;

// True when AudioFile::UpdateAudioFile can patch f without a full rewrite.
// Checked first so that a take that needs a rewrite is not half patched (its
// sample rate written, its iXML refused) by an in-place attempt that fails.
bool canPatchInPlace(AudioFile& f)
{
    const AudioFileInfo& i = f.m_info;
    if (i.fileType != kFileTypeWave || f.m_fmtDataPos == 0)
        return false;
    const bool appendsIxml = i.hasIxml && f.m_ixmlDataPos == 0;
    const bool appendsBext = i.hasBext && f.m_bextDataPos == 0;
    const quint64 riffEnd = quint64(f.m_riffSize) + 8;
    if (appendsIxml || appendsBext) {
        if (riffEnd != f.m_fileSize && riffEnd + 1 != f.m_fileSize)
            return false;
        // The in-place writer silently leaves out a chunk that would pass the
        // size limit; such an edit must fail instead (the rewrite refuses it).
        AudioRiffHdr hdr;
        const quint64 grown =
            riffEnd + (riffEnd & 1) +
            (appendsIxml ? f.PrepareIxmlAudioHdr(hdr, AudioFile::kIxmlPadding) : 0) +
            (appendsBext ? 8 + kBextHdrSize : 0);
        if (grown >= kFileSizeLimit)
            return false;
    }
    if (i.hasIxml && f.m_ixmlDataPos != 0) {
        AudioRiffHdr hdr;
        const quint32 total = f.PrepareIxmlAudioHdr(hdr, 0);
        if (total == 0 || f.m_ixmlChunkSize < total)
            return false;
    }
    if (i.hasBext && f.m_bextDataPos != 0 && f.m_bextChunkSize < quint32(kBextHdrSize))
        return false;
    return true;
}

// Why file (named name) must not be written at all, else empty: its chunk
// sizes disagree with the file (a write would lose audio or bury it), or the
// record refuses (an iXML that did not parse and that the caller did not
// agree to rebuild from what was read: a write would drop the rest of it).
QString writeRefusal(const AudioFile& file, const QString& name)
{
    if (!file.m_info.damage.isEmpty())
        return AudioThread::damagedMessage(file.fileName(), file.m_info.damage);
    const QString refusal = file.WriteRefusal();
    return refusal.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(name, refusal);
}

// Why a full rewrite of the take at path would change what the take is,
// else empty. The new file gets the take's owner, mode and attributes
// (SafeFileOps::createLike), but it is a new inode: the other names of a
// hard-linked take would keep the old file, and a rename by rewrite would
// put a regular file where a symbolic link was.
QString rewriteIdentityProblem(const QString& path, const QString& name, bool renaming)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("%1: %2").arg(name, SafeFileOps::lastErrorText());
    if (st.st_nlink > 1)
        return QStringLiteral("%1 has %2 names (hard links); a full rewrite would split them. "
                              "Shorten the new metadata so that it fits in place, or make the "
                              "take a single file first.")
            .arg(name)
            .arg(quint64(st.st_nlink));
    if (renaming && QFileInfo(path).isSymLink())
        return QStringLiteral("%1 is a symbolic link; renaming it needs a full rewrite, which "
                              "would put a file in place of the link. Rename the file it "
                              "leads to instead.")
            .arg(name);
    return QString();
}

} // namespace

AudioThread::AudioThread(QObject* parent) : QThread(parent) {}

AudioThread::~AudioThread()
{
    // The loops test m_contOp once per chunk, so the wait is short; a running
    // QThread must not be destroyed.
    m_contOp = false;
    wait();
    for (AudioFile* f : m_files)
        delete f;
}

void AudioThread::InitOp(AudioOperation op)
{
    m_op = op;
    m_errorMsg.clear();
    m_progress = 0;
    m_contOp = true;
}

void AudioThread::CleanUp()
{
    m_contOp = false;
    if (isRunning() && !wait(kCleanUpWaitMs))
        return;
    InitOp(OP_NONE);
    m_contOp = false;
    m_path.clear();
    m_fileList.clear();
    m_trackMasks.clear();
    m_files.clear();
    m_errorMsg.clear();
}

void AudioThread::run()
{
    switch (m_op.load()) {
    case OP_COMBINE:
        Combine();
        break;
    case OP_SPLIT:
        Split();
        break;
    case OP_COPY:
        Copy();
        break;
    case OP_UPDATE:
        Update();
        break;
    case OP_PLAY:
        Play();
        break;
    default:
        break;
    }
}

void AudioThread::fail(const QString& message)
{
    if (m_errorMsg.isEmpty())
        m_errorMsg = message;
    m_contOp = false;
}

void AudioThread::sendProgress(quint64 index, quint64 count)
{
    const quint32 percent = count ? quint32(qMin<quint64>(100, index * 100 / count)) : 0;
    if (percent != m_progress || index == count) {
        m_progress = percent;
        emit progressUpdate(STATE_PROGRESS, percent);
    }
}

// Sends the one final signal of a work function and returns to idle.
void AudioThread::finish()
{
    const bool ok = m_contOp;
    if (!ok && m_errorMsg.isEmpty())
        m_errorMsg = QStringLiteral("Operation cancelled");
    m_progress = 100;
    qCDebug(lcOps) << "ReportProgress( ( m_contOp) ? STATE_DONE : STATE_ERROR)" << ok;
    emit progressUpdate(ok ? STATE_DONE : STATE_ERROR, 100);
    m_op = OP_NONE;
}

quint64 AudioThread::newFileSize(AudioFile& record)
{
    AudioRiffHdr ixml;
    const quint64 ixmlTotal = record.PrepareIxmlAudioHdr(ixml, AudioFile::kIxmlPadding);
    const quint64 data = record.m_info.dataSize;
    return 12 + 8 + quint64(record.FmtBodyForWrite().size()) +
           (record.m_info.hasBext ? 8 + kBextHdrSize : 0) + ixmlTotal + 8 + data + (data & 1) +
           record.CarriedChunkBytes();
}

// Every output must differ from every source and from every other output: an
// output written over a source would destroy the audio being read.
bool AudioThread::outputsClash(const QStringList& outputs, const QStringList& sources)
{
    for (int i = 0; i < outputs.size(); ++i) {
        for (const QString& s : sources) {
            if (SafeFileOps::samePath(outputs.at(i), s) ||
                SafeFileOps::samePath(SafeFileOps::partialPathFor(outputs.at(i)), s)) {
                fail(kMsgSameSource + QStringLiteral(" (%1)").arg(outputs.at(i)));
                return true;
            }
        }
        for (int j = 0; j < i; ++j) {
            if (SafeFileOps::samePath(outputs.at(i), outputs.at(j))) {
                fail(QStringLiteral("Two outputs have the same name: %1").arg(outputs.at(i)));
                return true;
            }
        }
    }
    return false;
}

// ---------------------------------------------------------------- Update

bool AudioThread::Update(QString& path, QString& backupPath, AudioFile* file)
{
    CleanUp();
    if (m_op != OP_NONE)
        return false;
    qCDebug(lcOps) << "source name" << backupPath << "dest name" << path;
    if (!file || path.isEmpty()) {
        m_errorMsg = QStringLiteral("no take given");
        return false;
    }
    const QString current = file->fileName();
    // A rename (the take is at backupPath and goes to path) or a save (the
    // take is at path; backupPath is where it waits while it is rewritten).
    const bool renaming = !SafeFileOps::samePath(current, path);
    if (renaming && !SafeFileOps::samePath(current, backupPath)) {
        m_errorMsg = QStringLiteral("%1: the take is not at %2").arg(current, path);
        return false;
    }
    if (renaming && (QFileInfo::exists(path) || QFileInfo(path).isSymLink())) {
        m_errorMsg = QStringLiteral("%1 already exists").arg(path);
        return false;
    }
    // A save edits the file a symbolic link leads to; the link stays a link.
    if (!renaming && QFileInfo(path).isSymLink()) {
        path = SafeFileOps::resolvedPath(path);
        backupPath = SafeFileOps::backupPathFor(path);
    }
    if (file->m_info.fileType == kFileTypeFlac) {
        m_errorMsg = kMsgFlac;
        return false;
    }
    const QString name = QFileInfo(current).fileName();
    const QString refusal = writeRefusal(*file, name);
    if (!refusal.isEmpty()) {
        m_errorMsg = refusal;
        return false;
    }
    const QString problem = SafeFileOps::fileWriteProblem(current);
    if (!problem.isEmpty()) {
        m_errorMsg = problem;
        return false;
    }
    // A backup beside the take means a save of it is running or was cut
    // short (then the take itself may be the half-written new file).
    const QString takeNow = SafeFileOps::resolvedPath(renaming ? current : path);
    const QString leftover = TakeLock::backupProblem(
        takeNow, renaming ? SafeFileOps::backupPathFor(takeNow) : backupPath);
    if (!leftover.isEmpty()) {
        m_errorMsg = leftover;
        return false;
    }

    if (canPatchInPlace(*file) && file->UpdateAudioFile(true, true)) {
        if (renaming) {
            QString why;
            if (!SafeFileOps::renameNoReplace(current, path, &why)) {
                m_errorMsg =
                    QStringLiteral("the metadata was written, but %1 cannot be renamed: %2")
                        .arg(current, why);
                return false;
            }
            file->setFileName(path);
        }
        qCDebug(lcOps) << "Fast Update Done";
        m_progress = 100;
        emit progressUpdate(STATE_DONE, 100);
        return true;
    }

    // Full rewrite. A save moves the take to its backup name and writes the
    // new file under the take's name; a rename writes the new file under a
    // partial name that the caller gives the new name once it is complete.
    // Either way the take stays complete under one of its names.
    const QString folderProblem = SafeFileOps::folderWriteProblem(path);
    if (!folderProblem.isEmpty()) {
        m_errorMsg = folderProblem;
        return false;
    }
    if (file->m_info.hasBext)
        file->m_bext.Compile();
    if (newFileSize(*file) >= kFileSizeLimit) {
        m_errorMsg = kMsgSizeLimit;
        return false;
    }
    const QString identity = rewriteIdentityProblem(current, name, renaming);
    if (!identity.isEmpty()) {
        m_errorMsg = identity;
        return false;
    }
    QString source = current;
    QString target = path;
    QString why;
    if (!renaming) {
        bool created = false;
        {
            TakeLock::FolderGuard guard(path);
            if (!SafeFileOps::renameNoReplace(path, backupPath, &why)) {
                m_errorMsg = QStringLiteral("%1 cannot be moved to its backup name %2: %3")
                                 .arg(path, backupPath, why);
                return false;
            }
            source = backupPath;
            created = SafeFileOps::createLike(path, source, &why);
        }
        if (!created) {
            m_errorMsg = why;
            // Whatever now has the take's name is not ours: it stays.
            restoreAfterFailedUpdate(source, path, false);
            return false;
        }
    } else {
        target = SafeFileOps::partialPathFor(path);
        if (!SafeFileOps::createLike(target, current, &why)) {
            m_errorMsg = QFileInfo::exists(target) || QFileInfo(target).isSymLink()
                             ? QStringLiteral("%1 exists: an earlier rename did not finish; "
                                              "check it and remove it")
                                   .arg(QFileInfo(target).fileName())
                             : why;
            return false;
        }
        path = target;
    }
    qCDebug(lcOps) << "Init - ok";
    auto* pFile = new AudioFile;
    *pFile = *file;
    pFile->setFileName(target);
    pFile->m_bext.SetHeader(&pFile->m_info.bextHeader);
    if (pFile->m_info.hasBext)
        pFile->m_bext.Parse(&pFile->m_info.bextHeader);

    m_path = source;
    m_updateTarget = target;
    m_ownBackup = !renaming;
    m_files.append(pFile);
    InitOp(OP_UPDATE);
    start();
    return true;
}

// Puts the take back under its own name after a failed rewrite: the partial
// new file (removePartial: the one this operation created) is removed first,
// the backup renamed back. When that rename fails the take stays complete
// under its backup name, which the message gives.
void AudioThread::restoreAfterFailedUpdate(const QString& backupPath, const QString& takePath,
                                           bool removePartial)
{
    QString why;
    bool restored = false;
    {
        // No other saver may find the take missing between the two steps.
        TakeLock::FolderGuard guard(takePath);
        if (removePartial)
            QFile::remove(takePath);
        restored = SafeFileOps::renameNoReplace(backupPath, takePath, &why);
    }
    if (!restored) {
        m_errorMsg += QStringLiteral(" The take is kept as %1 (%2).").arg(backupPath, why);
        return;
    }
    SafeFileOps::syncFolderOf(takePath);
}

void AudioThread::Update()
{
    std::unique_ptr<AudioFile> pFile(m_files.value(0));
    m_files.clear();
    const QString target = m_updateTarget;
    AudioFile src;
    if (!pFile) {
        fail(QStringLiteral("no take given"));
    } else if (!src.Open(m_path)) {
        qCDebug(lcOps) << "ReportProgress( STATE_ERROR)"
                       << " Init failed" << m_path;
        fail(QStringLiteral("%1 cannot be read: %2").arg(m_path, src.errorText()));
    } else if (src.m_info.dataSize < pFile->m_info.dataSize) {
        fail(QStringLiteral("%1: the audio data is shorter than when the take was read")
                 .arg(m_path));
    } else if (!src.cFile::Open(QIODevice::ReadOnly) || !src.Seek(src.m_fileDataPos, true)) {
        fail(QStringLiteral("%1 cannot be read: %2").arg(m_path, src.errorString()));
    } else if (!pFile->WriteRiffHdrs({&src, false})) {
        fail(QStringLiteral("%1: the headers cannot be written: %2")
                 .arg(target, pFile->errorText()));
    }

    // The audio moves in chunks of kCopyChunk bytes, inside the kernel where
    // the file system allows; writeback to the disk starts chunk by chunk so
    // that the final sync waits for little.
    const quint64 dataSize = pFile ? pFile->m_info.dataSize : 0;
    QString flushed;
    if (m_contOp && !SafeFileOps::flush(*pFile, &flushed))
        fail(QStringLiteral("%1: write failed: %2").arg(target, flushed));
    if (m_contOp) {
        src.m_transferBuffer = QByteArray(kCopyChunk, Qt::Uninitialized);
        const quint64 count = dataSize / kCopyChunk + 1;
        bool kernelCopy = true;
        quint64 done = 0;
        for (quint64 i = 0; done < dataSize; ++i) {
            if (!m_contOp)
                break;
            const qint64 want = qint64(qMin<quint64>(dataSize - done, kCopyChunk));
            QString why;
            if (!SafeFileOps::copyBytes(src, src.m_fileDataPos + done, *pFile,
                                        pFile->m_fileDataPos + done, want, src.m_transferBuffer,
                                        kernelCopy, true, &why)) {
                fail(QStringLiteral("%1: %2").arg(target, why));
                break;
            }
            sendProgress(i, count);
            done += quint64(want);
        }
    }
    if (m_contOp) {
        QString why;
        const bool pad = !(dataSize & 1) || (pFile->seek(qint64(pFile->m_fileDataPos + dataSize)) &&
                                             SafeFileOps::writeAll(*pFile, "\0", 1, &why));
        if (pad && !pFile->WriteTrailingChunks({&src, false}))
            why = pFile->errorText();
        if (!pad || !why.isEmpty() || !SafeFileOps::syncFile(*pFile, &why)) {
            fail(QStringLiteral("%1: write failed: %2")
                     .arg(target, why.isEmpty() ? pFile->errorString() : why));
        } else {
            pFile->Close();
            SafeFileOps::syncFolderOf(target);
            qCDebug(lcOps) << "pFile->Close()";
        }
    }
    src.Close();
    if (!m_contOp) {
        qCDebug(lcOps) << "m_contOp == false";
        if (pFile)
            pFile->Close();
        if (m_ownBackup) {
            restoreAfterFailedUpdate(m_path, target, true);
        } else if (pFile) {
            // A rename: the take is untouched at m_path; only the new file goes.
            QFile::remove(target);
        }
    }
    pFile.reset();
    finish();
}

// ---------------------------------------------------------------- Copy

bool AudioThread::Copy(QString& destination, QString& source)
{
    CleanUp();
    if (m_op != OP_NONE || refuseDamaged({source}))
        return false;
    m_path = destination;
    m_fileList.append(source);
    InitOp(OP_COPY);
    start();
    return true;
}

void AudioThread::Copy()
{
    const QString srcPath = m_fileList.value(0);
    const QString dst = m_path;
    AudioFile src;
    std::unique_ptr<PartialOutput> out;
    if (!src.Open(srcPath)) {
        fail(QStringLiteral("%1: %2").arg(srcPath, src.errorText()));
    } else if (!src.m_info.damage.isEmpty()) {
        fail(damagedMessage(srcPath, src.m_info.damage));
    } else if (src.m_info.fileType == kFileTypeFlac) {
        fail(kMsgFlac);
    } else if (!outputsClash({dst}, {srcPath})) {
        if (src.m_info.hasBext)
            src.m_bext.Compile();
        out = std::make_unique<PartialOutput>(dst);
        out->adopt(src);
        // A copy makes no edits: an iXML document that does not parse is
        // carried as it is rather than refused or rebuilt.
        out->carryChunksFrom(&src, !src.m_info.ixmlError.isEmpty());
        QString why;
        if (newFileSize(out->file()) >= kFileSizeLimit)
            fail(kMsgSizeLimit);
        else if (!src.cFile::Open(QIODevice::ReadOnly) || !src.Seek(src.m_fileDataPos, true))
            fail(QStringLiteral("%1 cannot be read: %2").arg(srcPath, src.errorString()));
        else if (!out->begin(&why))
            fail(why);
    }

    if (m_contOp) {
        src.m_transferBuffer = QByteArray(kCopyChunk, Qt::Uninitialized);
        const quint64 dataSize = src.m_info.dataSize;
        const quint64 count = dataSize / kCopyChunk + 1;
        bool kernelCopy = true;
        QString why;
        quint64 done = 0;
        for (quint64 i = 0; done < dataSize && m_contOp; ++i) {
            const qint64 want = qint64(qMin<quint64>(dataSize - done, kCopyChunk));
            if (!out->copyFrom(src, src.m_fileDataPos + done, want, src.m_transferBuffer,
                               kernelCopy, &why)) {
                fail(why);
                break;
            }
            sendProgress(i, count);
            done += quint64(want);
        }
        if (m_contOp && !out->commit(&why))
            fail(why);
    }
    src.Close();
    if (out && !m_contOp)
        out->discard();
    out.reset();
    finish();
}

// ---------------------------------------------------------------- Play

// Without an audio output the operation ends at once as a failure; the
// playback worker overrides this.
void AudioThread::Play()
{
    fail(QStringLiteral("Playback is not available"));
    finish();
}

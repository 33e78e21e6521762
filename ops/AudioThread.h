#pragma once

#include "AudioFile.h"
#include "cUidGen.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <vector>

class PartialOutput;

// The worker that performs every long operation on take files: the metadata
// update (in place, or a full rewrite through a backup file), copy, split and
// combine; playback is dispatched here too. One operation at a time.
//
// Threading: the entry functions (Update, Copy, Split, Combine), CleanUp()
// and the destructor are called from the owner's thread; the work runs on
// this object's own thread. Each accepted operation ends with exactly one
// final progressUpdate(STATE_DONE or STATE_ERROR, 100), sent from the worker
// thread (queued to receivers in other threads), except the in-place update,
// which sends STATE_DONE from the caller's thread before Update() returns.
// m_errorMsg and m_progress are written by the worker and may be read by the
// receiver once the final signal has arrived.
//
// Data safety, beyond the basic protocol: every read and write is checked;
// a failure ends the operation with STATE_ERROR and a reason in m_errorMsg;
// partial outputs are removed; a take being rewritten is always complete
// under its own name or under its backup name, and is put back under its own
// name when the rewrite fails; backup files found on the disk are never
// overwritten or deleted; finished rewrites are synced to the disk before
// STATE_DONE, so that the caller may then delete the backup.
class AudioThread : public QThread
{
    Q_OBJECT

public:
    enum AudioOperation : qint32 {
        OP_NONE = 0,
        OP_COMBINE = 1,
        OP_SPLIT = 2,
        OP_COPY = 4,
        OP_UPDATE = 5,
        OP_PLAY = 6,
    };
    enum ProgressState { STATE_ERROR = 0, STATE_PROGRESS = 1, STATE_DONE = 2 };

    // Bytes moved per read by update and copy.
    static constexpr qint64 kCopyChunk = 1619200;
    // Sample frames moved per read by split and combine.
    static constexpr int kTransferFrames = 16192;
    // How long an entry function waits for a previous operation to stop.
    static constexpr int kCleanUpWaitMs = 3000;

    // Messages of the split and combine failures (shown after "Failed.").
    static const QString kMsgCannotOpen;    // "Can not open one of the file"
    static const QString kMsgCannotOpenDst; // "Can not open dst file (access)"
    static const QString kMsgSizeLimit;     // the 4 GiB limit
    static const QString kMsgSameSource;    // an output names a source
    static const QString kMsgCannotCombine; // sources that do not fit together

    explicit AudioThread(QObject* parent = nullptr);
    ~AudioThread() override;

    // Writes file's edited metadata to the take. path: the path the take must
    // have afterwards; backupPath: for a save, path with "_updatebackup"
    // before the extension (the take is moved there while it is rewritten);
    // for a rename, the take's current path. file: the take as read, with the
    // edits applied; owned by the caller and not kept.
    // A save of a symbolic link edits the file it leads to: path and
    // backupPath are then set to that file and its backup name.
    // When the new metadata fits, the file is patched in place and STATE_DONE
    // is sent before this returns true. Otherwise the take is rewritten on the
    // worker thread into a new file that keeps its owner, group, mode and
    // extended attributes: a save first renames the take to backupPath (never
    // replacing a file there) and writes the new file under path; the backup
    // is left for the caller to delete after STATE_DONE. A rename writes the
    // new file under SafeFileOps::partialPathFor(path) and sets path to that
    // name; after STATE_DONE the caller gives it the new name (never replacing
    // a file) and deletes the old one.
    // Returns false, with the reason in m_errorMsg and the take unchanged, when
    // the take must not or cannot be written: damaged chunk sizes, an iXML that
    // did not parse (unless file->m_rebuildIxml), a backup beside it (a save
    // that is running or did not finish), FLAC, not a regular file, read-only
    // file or folder, the size limit, a rename target that exists, and for a
    // full rewrite a hard-linked take or a rename of a symbolic link; also
    // when another operation is still running.
    bool Update(QString& path, QString& backupPath, AudioFile* file);
    // Copies the take at source to destination (headers written fresh from the
    // metadata, audio bytes unchanged). A file already at destination is
    // replaced only once the copy is complete.
    bool Copy(QString& destination, QString& source);
    // Splits source into outputs; masks[k] selects the source channels (bit c:
    // channel c, 0-based) of output k. Empty paths and empty masks are dropped.
    // False (no thread) when nothing remains or the source cannot be read.
    bool Split(const QString& source, const QStringList& outputs,
               const QVector<unsigned int>& masks);
    // Interleaves the mono sources, in order, into destination.
    bool Combine(const QString& destination, const QStringList& sources);
    // Cancels the running operation (it ends with STATE_ERROR and removes its
    // partial output) and waits up to kCleanUpWaitMs for it; then resets.
    void CleanUp();

    AudioOperation operation() const { return m_op.load(); }

    // "<path> is damaged: <damage>. Run velmora-cli repair on it first.": why
    // copy, split and combine refuse a take whose chunk sizes disagree with
    // the file (AudioFileInfo::damage).
    static QString damagedMessage(const QString& path, const QString& damage);

    QString m_errorMsg;                 // reason of the last failure, else empty
    std::atomic<quint32> m_progress{0}; // last value sent with progressUpdate
    std::atomic<quint32> m_playPos{0};  // playback position in sample frames

signals:
    void progressUpdate(int state, quint32 value);

protected:
    void run() override;
    void InitOp(AudioOperation op);
    // The OP_PLAY body. This class has no audio output: it ends the operation
    // as a failure; the playback worker (playback/PlaybackThread) overrides it
    // with its reader loop.
    virtual void Play();

private:
    bool fixSplit(const QString& source, const QStringList& outputs,
                  const QVector<unsigned int>& masks);

    // Work functions, on the worker thread.
    void Update();
    void Copy();
    void Split();
    void Combine();

    // Shared steps of the work functions.
    void fail(const QString& message);
    void sendProgress(quint64 index, quint64 count);
    void finish();
    bool outputsClash(const QStringList& outputs, const QStringList& sources);
    void adoptFamily(SoundDefs::AudioIxmlData& x);
    bool refuseDamaged(const QStringList& paths);
    void commitOutputs(const std::vector<PartialOutput*>& outputs);
    // Bytes of the file the writer makes from record (headers, data, pad).
    static quint64 newFileSize(AudioFile& record);
    void restoreAfterFailedUpdate(const QString& backupPath, const QString& takePath,
                                  bool removePartial);

    std::atomic<AudioOperation> m_op{OP_NONE};
    // Cleared to cancel (owner's thread) or on failure (worker); read per chunk.
    std::atomic<bool> m_contOp{false};
    // The playback state record and meter ring belong to the playback worker
    // that derives from this class.
    QVector<AudioFile*> m_files; // the update's new file (owned by the work function)
    cUidGen m_uidGen;
    QString m_path;
    QStringList m_fileList;
    QVector<unsigned int> m_trackMasks;
    // Update: true when m_path is a backup made by this object (put back on failure).
    bool m_ownBackup = false;
    QString m_updateTarget; // update: the take path being written
};

#pragma once

#include "AudioFile.h"

#include <QString>

#include <vector>

// One new take file being written by copy, split or combine. It is written
// under a temporary name next to its final path (SafeFileOps::partialPathFor)
// and renamed to the final path only when complete, so that a failed or
// interrupted operation never leaves a half-written take under a take name
// and never destroys a file that already has the final name. Not thread-safe;
// used by one worker thread.
class PartialOutput
{
public:
    explicit PartialOutput(const QString& finalPath);
    ~PartialOutput(); // discards the partial file unless committed
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;

    const QString& finalPath() const { return m_final; }
    // The take object whose record is written. Prepare its record (adopt()
    // and the caller's changes) before begin().
    AudioFile& file() { return m_file; }
    // Copies record's metadata (file name, m_info, data position) and parses
    // its bext description so that the writer recompiles the same entries.
    void adopt(const AudioFile& record);

    // The file the record was read from, open for reading while the output
    // is written: its chunks other than fmt, bext, iXML and data are carried
    // into the output, before or after the audio as they stood; keepIxml
    // carries its iXML chunk unchanged too (see AudioFile::ChunkSource).
    void carryChunksFrom(QIODevice* source, bool keepIxml);

    // Creates the partial file (removing a stale partial of the same name) and
    // writes the headers of file(). After it the file is positioned at the first
    // sample byte and file().m_transferBuffer holds blockAlign * 16192 bytes.
    bool begin(QString* error);
    // Writes size bytes of audio data; false on a failed or short write.
    bool write(const char* data, qint64 size, QString* error);
    // Appends size bytes of src from srcPos (SafeFileOps::copyBytes: in the
    // kernel where possible, else through buffer).
    bool copyFrom(QFile& src, quint64 srcPos, qint64 size, QByteArray& buffer, bool& kernelCopy,
                  QString* error);
    // Adds the pad byte after odd-sized data and the carried chunks that
    // followed the audio, flushes (and, when an existing
    // file is replaced, syncs to the disk), closes, and renames the partial
    // file to the final path.
    bool commit(QString* error);
    // Closes and removes the partial file; a committed output is removed too.
    void discard();

    bool committed() const { return m_committed; }

    // Commits outputs as one: every output is finished first (pad byte,
    // flushed, and synced to the disk when it replaces a file), then each is
    // moved to its final path in order. A file already at a final path is
    // moved aside (asidePathFor) and removed only once every output is in
    // place. When any step fails, the outputs placed so far are removed and
    // the files moved aside are put back, so every file that was there before
    // the run is as it was; the outputs not placed stay partial (discard()
    // removes them). A folder or other non-file at a final path fails the run
    // before anything moves. The error names the output once.
    static bool commitAll(const std::vector<PartialOutput*>& outputs, QString* error);
    // "<final>.velmora-old", or with a number 2..99 after it, whichever is
    // free: the name a file being replaced waits under. Empty when none is.
    static QString asidePathFor(const QString& finalPath);

private:
    // Pads, writes the chunks that follow the audio, flushes (syncs when
    // replacing) and closes the partial file; commit() and commitAll() use it.
    bool finishPartial(QString* error);

    QString m_final;
    QString m_partial;
    AudioFile m_file;
    AudioFile::ChunkSource m_source;
    quint64 m_written = 0; // audio bytes written
    bool m_begun = false;
    bool m_committed = false;
};

#pragma once

#include "AudioFile.h"

#include <QString>

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

private:
    QString m_final;
    QString m_partial;
    AudioFile m_file;
    AudioFile::ChunkSource m_source;
    quint64 m_written = 0; // audio bytes written
    bool m_begun = false;
    bool m_committed = false;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

class AudioThread;
class QSignalSpy;

// Small takes for the file-operation tests, written through the project's
// own writer (or as bare fmt + data files), with known sample bytes.
struct OpsTake {
    int channels = 2;
    int bits = 24;
    int frames = 1000;
    int formatTag = 1;    // 3: IEEE float (32 bits)
    bool metadata = true; // bext and iXML; false: only fmt and data (and ixml below)
    QByteArray ixml;      // metadata false: an iXML chunk of exactly this body
    int firstChannel = 1; // channel index of the first track
    QString family;       // FAMILY_UID; generated when empty
    quint64 timeReference = 48000ull * 3600;
    int seed = 1; // picks the sample values
};

namespace OpsTestKit
{
// Writes the take; returns its audio bytes (empty on failure).
QByteArray write(const QString& path, const OpsTake& t);
// The audio data of the take at path as its header describes it (empty when
// the file is not a take).
QByteArray audioOf(const QString& path);
// Samples of channel ch (0-based) of interleaved audio.
QByteArray channelOf(const QByteArray& audio, int channels, int bytesPerSample, int ch);
// True when the iXML chunk of path parses as XML.
bool ixmlIsWellFormed(const QString& path);
// The final state (STATE_DONE or STATE_ERROR) recorded by spy on
// progressUpdate, waiting for it when needed; -1 when none came.
int finalState(QSignalSpy& spy);
// Files of folder whose names contain part.
QStringList filesContaining(const QString& folder, const QString& part);
} // namespace OpsTestKit

// Limits the size of files this process writes (RLIMIT_FSIZE, soft limit)
// while in scope; writes past it fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(quint64 bytes);
    ~FileSizeLimit();

private:
    struct rlimit m_saved;
};

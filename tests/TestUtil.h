#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

// Builds RIFF/WAVE files chunk by chunk, so tests can make any layout,
// including wrong sizes and odd chunks, without going through our writer.
class WavBuilder
{
public:
    // A PCM fmt body (16 bytes) with the given tag.
    static QByteArray fmtBody(int channels, int sampleRate, int bits, int tag = 1);
    // A 602-byte bext body with description text and time reference.
    static QByteArray bextBody(const QByteArray& description, quint64 timeReference = 0,
                               const QByteArray& originator = QByteArray());

    WavBuilder& chunk(const QByteArray& id, const QByteArray& body);
    // A chunk whose size field says claimedSize whatever the body holds.
    WavBuilder& rawChunk(const QByteArray& id, quint32 claimedSize, const QByteArray& body);
    // The whole file; riffSize < 0 means the true size.
    QByteArray build(qint64 riffSize = -1) const;
    bool writeTo(const QString& path, qint64 riffSize = -1) const;

private:
    QByteArray m_chunks;
};

namespace TestUtil
{
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& data);
// Interleaved little-endian PCM of the given frames, every sample = value(frame, ch).
QByteArray pcm(int frames, int channels, int bits, int seed = 1);
// Runs a program; returns its exit code (-1 when it did not finish in time).
int run(const QString& program, const QStringList& args, QByteArray* out = nullptr,
        QByteArray* err = nullptr, int timeoutMs = 60000);
} // namespace TestUtil

// A small take for the tests that write takes, written through the project's
// own writer (scene 12A, take 3, tracks Trk1..n) or as bare fmt + data, with
// known sample bytes.
struct TestTake {
    int channels = 2;
    int bits = 24;
    int frames = 1000;
    int sampleRate = 48000;
    int formatTag = 1;    // 3: IEEE float (32 bits)
    bool metadata = true; // bext and iXML; false: only fmt and data (and ixml below)
    QByteArray ixml;      // metadata false: an iXML chunk of exactly this body
    int firstChannel = 1; // channel index of the first track
    QString family;       // FAMILY_UID; generated when empty
    quint64 timeReference = 48000ull * 3600;
    int seed = 1; // picks the sample values
};

namespace TestUtil
{
// Writes the take; returns its audio bytes (empty on failure).
QByteArray writeTake(const QString& path, const TestTake& t);
// The audio data of the take at path as its header describes it (empty when
// the file is not a take).
QByteArray audioOf(const QString& path);
// Samples of channel ch (0-based) of interleaved audio.
QByteArray channelOf(const QByteArray& audio, int channels, int bytesPerSample, int ch);
// The whole chunk (header, body, pad byte) with that id in RIFF bytes, or empty.
QByteArray chunkOf(const QByteArray& file, const QByteArray& id);
// Every entry under folder (hidden ones too, recursively) by relative path,
// with its bytes; a folder holds "<folder>". For "nothing changed" checks.
QMap<QString, QByteArray> snapshot(const QString& folder);
} // namespace TestUtil

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

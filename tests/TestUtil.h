#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

namespace TestUtil {
QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& data);
// Interleaved little-endian PCM of the given frames, every sample = value(frame, ch).
QByteArray pcm(int frames, int channels, int bits, int seed = 1);
// Runs a program; returns its exit code (-1 when it did not finish in time).
int run(const QString& program, const QStringList& args, QByteArray* out = nullptr,
        QByteArray* err = nullptr, int timeoutMs = 60000);
} // namespace TestUtil

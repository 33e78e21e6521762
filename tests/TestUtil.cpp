#include "TestUtil.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

namespace {
void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}
} // namespace

QByteArray WavBuilder::fmtBody(int channels, int sampleRate, int bits, int tag)
{
    QByteArray b;
    const int align = channels * ((bits + 7) / 8);
    put16(b, quint16(tag));
    put16(b, quint16(channels));
    put32(b, quint32(sampleRate));
    put32(b, quint32(sampleRate * align));
    put16(b, quint16(align));
    put16(b, quint16(bits));
    return b;
}

QByteArray WavBuilder::bextBody(const QByteArray& description, quint64 timeReference,
                                const QByteArray& originator)
{
    QByteArray b(602, '\0');
    b.replace(0, qMin(256, int(description.size())), description.left(256));
    b.replace(256, qMin(32, int(originator.size())), originator.left(32));
    qToLittleEndian(quint32(timeReference & 0xFFFFFFFFu), b.data() + 338);
    qToLittleEndian(quint32(timeReference >> 32), b.data() + 342);
    return b;
}

WavBuilder& WavBuilder::chunk(const QByteArray& id, const QByteArray& body)
{
    return rawChunk(id, quint32(body.size()), body);
}

WavBuilder& WavBuilder::rawChunk(const QByteArray& id, quint32 claimedSize, const QByteArray& body)
{
    m_chunks.append(id.left(4));
    put32(m_chunks, claimedSize);
    m_chunks.append(body);
    if (body.size() & 1)
        m_chunks.append('\0');
    return *this;
}

QByteArray WavBuilder::build(qint64 riffSize) const
{
    QByteArray f("RIFF");
    put32(f, riffSize < 0 ? quint32(4 + m_chunks.size()) : quint32(riffSize));
    f.append("WAVE");
    f.append(m_chunks);
    return f;
}

bool WavBuilder::writeTo(const QString& path, qint64 riffSize) const
{
    return TestUtil::writeFile(path, build(riffSize));
}

namespace TestUtil {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray pcm(int frames, int channels, int bits, int seed)
{
    const int bytes = (bits + 7) / 8;
    QByteArray b;
    b.reserve(frames * channels * bytes);
    quint32 x = quint32(seed) * 2654435761u;
    for (int i = 0; i < frames * channels; ++i) {
        x = x * 1664525u + 1013904223u;
        for (int k = 0; k < bytes; ++k)
            b.append(char((x >> (8 * k)) & 0xFF));
    }
    return b;
}

int run(const QString& program, const QStringList& args, QByteArray* out, QByteArray* err,
        int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    if (err)
        *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace TestUtil

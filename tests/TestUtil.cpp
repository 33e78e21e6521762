#include "TestUtil.h"

#include "AudioFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <csignal>

namespace
{
template <typename T> void put(QByteArray& b, T v)
{
    char c[sizeof v];
    qToLittleEndian(v, c);
    b.append(c, sizeof v);
}
} // namespace

QByteArray WavBuilder::fmtBody(int channels, int sampleRate, int bits, int tag)
{
    QByteArray b;
    const int align = channels * ((bits + 7) / 8);
    put(b, quint16(tag));
    put(b, quint16(channels));
    put(b, quint32(sampleRate));
    put(b, quint32(sampleRate * align));
    put(b, quint16(align));
    put(b, quint16(bits));
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
    put(m_chunks, claimedSize);
    m_chunks.append(body);
    if (body.size() & 1)
        m_chunks.append('\0');
    return *this;
}

QByteArray WavBuilder::build(qint64 riffSize) const
{
    QByteArray f("RIFF");
    put(f, riffSize < 0 ? quint32(4 + m_chunks.size()) : quint32(riffSize));
    f.append("WAVE");
    f.append(m_chunks);
    return f;
}

bool WavBuilder::writeTo(const QString& path, qint64 riffSize) const
{
    return TestUtil::writeFile(path, build(riffSize));
}

namespace TestUtil
{

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

QByteArray writeTake(const QString& path, const TestTake& t)
{
    using namespace SoundDefs;
    const QByteArray audio = pcm(t.frames, t.channels, t.bits, t.seed);
    if (!t.metadata) {
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(t.channels, t.sampleRate, t.bits, t.formatTag));
        if (!t.ixml.isEmpty())
            b.chunk("iXML", t.ixml);
        b.chunk("data", audio);
        return b.writeTo(path) ? audio : QByteArray();
    }
    AudioFile f;
    if (!f.Init(path, true))
        return QByteArray();
    AudioFileInfo& i = f.m_info;
    i.fileType = kFileTypeWave;
    i.formatTag = quint16(t.formatTag);
    i.sampleRate = quint32(t.sampleRate);
    i.channels = quint16(t.channels);
    i.bitsPerSample = quint16(t.bits);
    i.blockAlign = quint16(t.bits / 8 * t.channels);
    i.dataSize = quint64(audio.size());
    i.totalSamples = quint64(t.frames);
    i.timeReference = t.timeReference;
    for (int c = 0; c < t.channels; ++c) {
        AudioChannelInfo ch;
        ch.name = QStringLiteral("Trk%1").arg(t.firstChannel + c);
        ch.function = c == 0 ? QStringLiteral("BOOM") : QString();
        ch.channelIndex = t.firstChannel + c;
        ch.interleaveIndex = c + 1;
        i.channelList.append(ch);
    }
    f.SetFileName(QFileInfo(path).fileName());
    f.SetSceneName(QStringLiteral("12A"));
    f.SetTakeName(QStringLiteral("3"));
    f.SetSamplesSinceMidnight(QString::number(t.timeReference));
    if (!t.family.isEmpty())
        i.ixml.FAMILY_UID = t.family;
    if (!f.WriteRiffHdrs() || f.Write(audio.constData(), audio.size()) != audio.size())
        return QByteArray();
    if (audio.size() & 1)
        f.Write("\0", 1);
    f.Close();
    return audio;
}

QByteArray audioOf(const QString& path)
{
    AudioFile f;
    if (!f.Open(path) || !f.cFile::Open(QIODevice::ReadOnly) || !f.Seek(f.m_fileDataPos, true))
        return QByteArray();
    return f.read(qint64(f.m_info.dataSize));
}

QByteArray channelOf(const QByteArray& audio, int channels, int bytesPerSample, int ch)
{
    QByteArray out;
    const int align = channels * bytesPerSample;
    for (int pos = ch * bytesPerSample; pos + bytesPerSample <= audio.size(); pos += align)
        out.append(audio.constData() + pos, bytesPerSample);
    return out;
}

QByteArray chunkOf(const QByteArray& file, const QByteArray& id)
{
    qsizetype pos = 12;
    while (pos + 8 <= file.size()) {
        const quint32 size = qFromLittleEndian<quint32>(file.constData() + pos + 4);
        const qsizetype whole = 8 + qsizetype(size) + (size & 1);
        if (file.mid(pos, 4) == id)
            return file.mid(pos, whole);
        pos += whole;
    }
    return QByteArray();
}

QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> out;
    const QDir dir(folder);
    for (const QFileInfo& fi :
         dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (fi.isDir() && !fi.isSymLink()) {
            out.insert(fi.fileName(), "<folder>");
            const auto inner = snapshot(fi.filePath());
            for (auto i = inner.begin(); i != inner.end(); ++i)
                out.insert(fi.fileName() + '/' + i.key(), i.value());
        } else {
            out.insert(fi.fileName(), readFile(fi.filePath()));
        }
    }
    return out;
}

} // namespace TestUtil

FileSizeLimit::FileSizeLimit(quint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &m_saved);
    struct rlimit l = m_saved;
    l.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &l);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
}

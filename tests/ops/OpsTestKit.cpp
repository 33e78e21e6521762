#include "OpsTestKit.h"

#include "AudioFile.h"
#include "AudioThread.h"
#include "TestUtil.h"

#include <QDir>
#include <QSignalSpy>
#include <QXmlStreamReader>

#include <csignal>

using namespace SoundDefs;

namespace OpsTestKit
{

QByteArray write(const QString& path, const OpsTake& t)
{
    const int bps = t.bits / 8;
    const QByteArray audio = TestUtil::pcm(t.frames, t.channels, t.bits, t.seed);
    if (!t.metadata) {
        WavBuilder b;
        b.chunk("fmt ", WavBuilder::fmtBody(t.channels, 48000, t.bits, t.formatTag));
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
    i.sampleRate = 48000;
    i.channels = quint16(t.channels);
    i.bitsPerSample = quint16(t.bits);
    i.blockAlign = quint16(bps * t.channels);
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

bool ixmlIsWellFormed(const QString& path)
{
    AudioFile f;
    if (!f.Open(path) || f.m_ixmlDataPos == 0 || !f.cFile::Open(QIODevice::ReadOnly) ||
        !f.Seek(f.m_ixmlDataPos, true))
        return false;
    QXmlStreamReader xml(f.read(f.m_ixmlChunkSize).trimmed());
    bool root = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && !root)
            root = xml.name() == QLatin1String("BWFXML");
    }
    return root && !xml.hasError();
}

int finalState(QSignalSpy& spy)
{
    const auto final = [&spy] {
        for (const QList<QVariant>& args : spy) {
            if (args.at(0).toInt() != AudioThread::STATE_PROGRESS)
                return args.at(0).toInt();
        }
        return -1;
    };
    // Generous: the machine may be loaded; this is no speed check.
    for (int i = 0; i < 600 && final() < 0; ++i)
        spy.wait(100);
    return final();
}

QStringList filesContaining(const QString& folder, const QString& part)
{
    QStringList out;
    for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (n.contains(part))
            out << n;
    return out;
}

} // namespace OpsTestKit

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

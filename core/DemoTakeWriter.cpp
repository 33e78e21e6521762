#include "DemoTakeWriter.h"

#include "AudioFile.h"
#include "cUidGen.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>

using namespace SoundDefs;

namespace {

const char* const kTrackNames[] = {"Boom", "Lav Anna", "Lav Ben", "Plant", "Mix L", "Mix R",
                                   "Lav Cara", "Room"};
const char* const kScenes[] = {"12A", "12B", "14", "7C", "21", "3"};
const char* const kNotes[] = {"clean", "plane overhead at the end", "false start, good after",
                              "wild line: \"over here\" & <sigh>", "boom shadow, use lavs", ""};
constexpr int kFramesPerBlock = 8192;

} // namespace

const QStringList& DemoTakeWriter::frameRates()
{
    static const QStringList rates = {"25 ND", "29.97 DF", "23.97 ND", "30 ND",
                                      "24 ND", "29.97 ND", "30 DF"};
    return rates;
}

bool DemoTakeWriter::write(const QString& folder, const Options& o, QStringList* written)
{
    m_error.clear();
    const QDir dir(folder);
    if (!dir.exists()) {
        m_error = QStringLiteral("%1: no such folder").arg(folder);
        return false;
    }
    if (o.takes < 0 || o.channels < 1 || o.channels > 64 || o.seconds < 0 || o.sampleRate <= 0 ||
        (o.bitsPerSample != 16 && o.bitsPerSample != 24)) {
        m_error = QStringLiteral("invalid demo options");
        return false;
    }
    for (int t = 0; t < o.takes; ++t) {
        const int take = o.firstTake + t;
        const bool mono = o.layout == Layout::Mono || (o.layout == Layout::Mixed && t % 2 == 1);
        cUidGen gen;
        const QString family = gen.uid + QStringLiteral("00");
        if (mono) {
            for (int ch = 1; ch <= o.channels; ++ch) {
                const QString path = dir.filePath(QStringLiteral("T%1_%2.WAV")
                                                      .arg(take, 4, 10, QLatin1Char('0'))
                                                      .arg(ch));
                if (!writeFile(path, o, take, ch, 1, ch, o.channels, family))
                    return false;
                if (written)
                    written->append(path);
            }
        } else {
            const QString path =
                dir.filePath(QStringLiteral("T%1.WAV").arg(take, 4, 10, QLatin1Char('0')));
            if (!writeFile(path, o, take, 1, o.channels, 1, 1, family))
                return false;
            if (written)
                written->append(path);
        }
    }
    return true;
}

bool DemoTakeWriter::writeFile(const QString& path, const Options& o, int take, int trackFirst,
                               int channels, int fileIndex, int fileCount, const QString& familyUid)
{
    AudioFile f;
    if (!f.Init(path, true)) {
        m_error = QStringLiteral("%1: cannot be created").arg(path);
        return false;
    }
    const int bytes = o.bitsPerSample / 8;
    const quint64 frames = quint64(std::llround(o.seconds * o.sampleRate));
    AudioFileInfo& info = f.m_info;
    info.fileType = kFileTypeWave;
    info.formatTag = kFormatPcm;
    info.sampleRate = quint32(o.sampleRate);
    info.channels = quint16(channels);
    info.bitsPerSample = quint16(o.bitsPerSample);
    info.blockAlign = quint16(bytes * channels);
    info.totalSamples = frames;
    info.dataSize = frames * info.blockAlign;
    info.timeReference = quint64(10 * 3600 + (take - 1) * 97) * quint64(o.sampleRate);
    for (int c = 0; c < channels; ++c) {
        AudioChannelInfo ch;
        const int track = trackFirst + c;
        ch.name = QLatin1String(kTrackNames[(track - 1) % 8]);
        ch.channelIndex = track;
        ch.interleaveIndex = c + 1;
        info.channelList.append(ch);
    }

    const QString bare = QFileInfo(path).fileName();
    const QString rate = frameRates().at((take - 1) % frameRates().size());
    f.SetFrameRate(rate);
    f.SetProjectName(QStringLiteral("Velmora Demo"));
    f.SetSceneName(QLatin1String(kScenes[(take - 1) % 6]));
    f.SetTakeName(take % 5 == 4 ? QStringLiteral("%1w").arg(take) : QString::number(take));
    f.SetTapeName(QStringLiteral("DAY01"));
    f.SetNotes(QLatin1String(kNotes[(take - 1) % 6]));
    f.SetCircled(take % 3 == 0 ? QStringLiteral("Y") : QStringLiteral(" "));
    f.SetWild(take % 5 == 4 ? QStringLiteral("Y") : QStringLiteral(" "));
    f.SetUBITs(QStringLiteral("0612%1").arg(take % 100, 2, 10, QLatin1Char('0')));
    f.SetUserInfo(QStringLiteral("Demo take written by velmora-cli"));
    f.SetTimeStampSampleRate(QString::number(o.sampleRate));
    f.SetSamplesSinceMidnight(QString::number(info.timeReference));
    f.SetFileName(bare);

    AudioIxmlData& x = info.ixml;
    x.CURRENT_SPEED = x.MASTER_SPEED;
    x.DIGITIZER_SAMPLE_RATE = QString::number(o.sampleRate);
    x.SPEED_NOTE = take % 2 ? QStringLiteral("camera at 24p") : QString();
    x.FAMILY_UID = familyUid;
    x.FAMILY_NAME = QStringLiteral("T%1").arg(take, 4, 10, QLatin1Char('0'));
    x.TOTAL_FILES = QString::number(fileCount);
    x.FILE_SET_INDEX = QString::number(fileIndex);
    cUidGen member;
    member.SetUid(familyUid);
    x.FILE_UID = member.GetFileUID(fileIndex);
    if (take % 2 == 1) {
        AudioSyncPoint p;
        p.type = QStringLiteral("RELATIVE");
        p.function = QStringLiteral("SLATE_GENERIC");
        p.low = QString::number(o.sampleRate / 2);
        p.high = QStringLiteral("0");
        p.eventDuration = QString::number(o.sampleRate / 10);
        x.syncPoints.append(p);
        x.syncPointCount = 1;
    }
    const QString date = QStringLiteral("2026-12-06");
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(10, 2, 10, QLatin1Char('0'))
                             .arg(((take - 1) * 97 / 60) % 60, 2, 10, QLatin1Char('0'))
                             .arg((take - 1) * 97 % 60, 2, 10, QLatin1Char('0'));
    f.m_bext.SetBextField(cAudioBext::OriginationDate, date);
    f.m_bext.SetBextField(cAudioBext::OriginationTime, time);
    f.m_bext.SetValue(QStringLiteral("SWVER"), QStringLiteral("1.00"));
    f.m_bext.Compile();
    f.m_bext.GetBextField(cAudioBext::Description, x.BWF_DESCRIPTION);
    x.BWF_ORIGINATION_DATE = date;
    x.BWF_ORIGINATION_TIME = time;

    if (!f.WriteRiffHdrs()) {
        m_error = QStringLiteral("%1: cannot be written").arg(path);
        return false;
    }
    // A tone per track: 110 Hz apart, at -12 dBFS.
    const double amplitude = 0.25 * ((1 << (o.bitsPerSample - 1)) - 1);
    QByteArray block;
    for (quint64 done = 0; done < frames;) {
        const int n = int(std::min<quint64>(kFramesPerBlock, frames - done));
        block.resize(qsizetype(n) * info.blockAlign);
        char* out = block.data();
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < channels; ++c) {
                const double hz = 110.0 * (trackFirst + c + 1);
                const double t = double(done + i) / o.sampleRate;
                const qint32 v = qint32(std::lround(amplitude * std::sin(2 * M_PI * hz * t)));
                for (int b = 0; b < bytes; ++b)
                    *out++ = char((v >> (8 * b)) & 0xFF);
            }
        }
        if (f.Write(block.constData(), block.size()) != block.size()) {
            f.Close();
            m_error = QStringLiteral("%1: cannot be written (disk full?)").arg(path);
            return false;
        }
        done += quint64(n);
    }
    if (info.dataSize & 1)
        f.Write("\0", 1);
    const bool ok = f.flush();
    f.Close();
    if (!ok)
        m_error = QStringLiteral("%1: cannot be written").arg(path);
    return ok;
}

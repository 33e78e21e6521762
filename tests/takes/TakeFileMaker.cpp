#include "TakeFileMaker.h"

#include "DemoTakeWriter.h"
#include "TestUtil.h"

#include <QDir>

namespace TakeFileMaker
{

QByteArray ixml(const TakeShape& s)
{
    QString x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>"
                "<IXML_VERSION>1.61</IXML_VERSION><PROJECT>Velmora</PROJECT>";
    x += "<SCENE>" + s.scene + "</SCENE><TAKE>" + s.take + "</TAKE><TAPE>DAY1</TAPE>";
    if (!s.note.isEmpty())
        x += "<NOTE>" + s.note + "</NOTE>";
    x += "<SPEED><MASTER_SPEED>25/1</MASTER_SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE>"
         "<TIMECODE_FLAG>NDF</TIMECODE_FLAG>";
    x += QString("<FILE_SAMPLE_RATE>%1</FILE_SAMPLE_RATE>").arg(s.sampleRate);
    x += QString("<TIMESTAMP_SAMPLE_RATE>%1</TIMESTAMP_SAMPLE_RATE>").arg(s.sampleRate);
    x += QString("<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>%1</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI>")
             .arg(s.timestamp >> 32);
    x += QString("<TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>%1</TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO>")
             .arg(s.timestamp & 0xFFFFFFFFu);
    x += "</SPEED>";
    if (s.trackList) {
        x += QString("<TRACK_LIST><TRACK_COUNT>%1</TRACK_COUNT>").arg(s.channels);
        for (int t = 1; t <= s.channels; ++t) {
            const int index = s.channels == 1 ? s.channelIndex : t;
            const QString name = s.channels == 1 ? s.trackName : QString("Trk%1").arg(t);
            x += QString("<TRACK><CHANNEL_INDEX>%1</CHANNEL_INDEX>"
                         "<INTERLEAVE_INDEX>%2</INTERLEAVE_INDEX><NAME>%3</NAME>"
                         "<FUNCTION>FX</FUNCTION></TRACK>")
                     .arg(index)
                     .arg(s.channels == 1 ? 1 : t)
                     .arg(name);
        }
        x += "</TRACK_LIST>";
    }
    x += "<HISTORY><ORIGINAL_FILENAME>orig.wav</ORIGINAL_FILENAME>"
         "<PARENT_FILENAME>parent.wav</PARENT_FILENAME><PARENT_UID>PUID</PARENT_UID></HISTORY>";
    x += "<FILE_SET><TOTAL_FILES>2</TOTAL_FILES><FAMILY_UID>FUID</FAMILY_UID>"
         "<FAMILY_NAME>fam</FAMILY_NAME><FILE_SET_INDEX>A</FILE_SET_INDEX></FILE_SET>";
    x += "<SYNC_POINT_LIST><SYNC_POINT_COUNT>1</SYNC_POINT_COUNT><SYNC_POINT>"
         "<SYNC_POINT_TYPE>RELATIVE</SYNC_POINT_TYPE><SYNC_POINT_FUNCTION>SLATE_GENERIC"
         "</SYNC_POINT_FUNCTION><SYNC_POINT_LOW>100</SYNC_POINT_LOW><SYNC_POINT_HIGH>0"
         "</SYNC_POINT_HIGH><SYNC_POINT_EVENT_DURATION>48</SYNC_POINT_EVENT_DURATION>"
         "</SYNC_POINT></SYNC_POINT_LIST>";
    x += "</BWFXML>\n";
    return x.toUtf8();
}

QByteArray build(const TakeShape& s)
{
    WavBuilder b;
    b.chunk("fmt ", WavBuilder::fmtBody(s.channels, s.sampleRate, s.bits));
    QByteArray desc = "sSCENE=" + s.scene.toLatin1() + "\r\nsTAKE=" + s.take.toLatin1() + "\r\n";
    if (!s.recordedName.isEmpty())
        desc += "sFILENAME=" + s.recordedName.toLatin1() + "\r\n";
    for (int i = 0; i < s.bextTracks.size(); ++i)
        desc += QString("sTRK%1=%2\r\n").arg(i + 1).arg(s.bextTracks.at(i)).toLatin1();
    QByteArray body = WavBuilder::bextBody(desc, s.timestamp, "Recorder");
    const QByteArray date = s.originationDate.toLatin1().leftJustified(10, '\0', true);
    const QByteArray time = s.originationTime.toLatin1().leftJustified(8, '\0', true);
    body.replace(320, 10, date);
    body.replace(330, 8, time);
    b.chunk("bext", body);
    if (s.ixml)
        b.chunk("iXML", ixml(s));
    b.chunk("data", TestUtil::pcm(s.frames, s.channels, s.bits));
    return b.build();
}

bool write(const QString& path, const TakeShape& s)
{
    QByteArray file = build(s);
    file.chop(s.chop);
    return TestUtil::writeFile(path, file);
}

QStringList writeMonoTake(const QString& folder, const QString& stem, int count,
                          const TakeShape& base)
{
    QStringList paths;
    for (int i = 1; i <= count; ++i) {
        TakeShape s = base;
        s.channels = 1;
        s.channelIndex = i;
        s.trackName = QString("Track %1").arg(i);
        s.recordedName = QString("%1_%2.WAV").arg(stem).arg(i);
        const QString path = QDir(folder).filePath(s.recordedName);
        if (!write(path, s))
            return QStringList();
        paths << path;
    }
    return paths;
}

QStringList writeDemoTakes(const QString& folder, int takes, int channels, int firstTake)
{
    DemoTakeWriter writer;
    DemoTakeWriter::Options o;
    o.takes = takes;
    o.seconds = 0.05;
    o.channels = channels;
    o.firstTake = firstTake;
    QStringList written;
    if (!writer.write(folder, o, &written))
        qWarning("demo takes: %s", qPrintable(writer.errorText()));
    return written;
}

} // namespace TakeFileMaker

#include "TakeJson.h"

#include "AudioFile.h"
#include "TakeColumns.h"

#include <QFileInfo>
#include <QtEndian>

using namespace SoundDefs;

namespace TakeJson {

QJsonObject columns(const QStringList& cells)
{
    QJsonObject o;
    const QStringList& titles = TakeColumns::headersList();
    for (int i = 0; i < titles.size(); ++i)
        o.insert(titles.at(i), i < cells.size() ? cells.at(i) : QString());
    return o;
}

QJsonObject record(const QStringList& values, const QStringList& headers)
{
    QJsonObject o;
    for (int i = 0; i < headers.size(); ++i)
        o.insert(headers.at(i), i < values.size() ? values.at(i) : QString());
    return o;
}

QJsonArray table(const QList<QStringList>& rows, const QStringList& headers)
{
    QJsonArray a;
    for (const QStringList& row : rows)
        a.append(record(row, headers));
    return a;
}

namespace {

QString bextField(const AudioFile& f, cAudioBext::BEXT_HDR_FIELD field)
{
    QString v;
    f.m_bext.GetBextField(field, v);
    return v;
}

QJsonObject bextObject(const AudioFile& f)
{
    QJsonObject o;
    o.insert("present", f.m_info.hasBext);
    QJsonArray description;
    if (f.m_info.hasBext) {
        for (int i = 0; i < f.m_bext.keys.size(); ++i) {
            if (!f.m_bext.keys.at(i).isEmpty())
                description.append(QJsonArray{f.m_bext.keys.at(i), f.m_bext.values.at(i)});
        }
    }
    o.insert("description", description);
    const bool has = f.m_info.hasBext;
    o.insert("Originator", has ? bextField(f, cAudioBext::Originator) : QString());
    o.insert("OriginatorReference", has ? bextField(f, cAudioBext::OriginatorReference) : QString());
    o.insert("OriginationDate", has ? bextField(f, cAudioBext::OriginationDate) : QString());
    o.insert("OriginationTime", has ? bextField(f, cAudioBext::OriginationTime) : QString());
    const quint64 ref =
        has ? (quint64(qFromLittleEndian(f.m_info.bextHeader.TimeReferenceHigh)) << 32) |
                  qFromLittleEndian(f.m_info.bextHeader.TimeReferenceLow)
            : 0;
    o.insert("TimeReference", QString::number(ref));
    o.insert("Version", has ? bextField(f, cAudioBext::Version) : QString());
    return o;
}

QJsonObject ixmlObject(const AudioFile& f)
{
    QJsonObject fields;
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        fields.insert(QLatin1String(AudioIxmlData::Fields()[i].path), f.m_info.ixml.Text(i));
    return QJsonObject{{"present", f.m_info.hasIxml}, {"fields", fields}};
}

} // namespace

QJsonObject fileObject(AudioFile& f, const QString& pathAsGiven)
{
    const AudioFileInfo& i = f.m_info;
    QJsonObject o;
    o.insert("path", pathAsGiven);
    o.insert("ok", true);
    o.insert("container", i.fileType == kFileTypeFlac ? "flac" : "wav");
    o.insert("format", QJsonObject{{"sampleRate", double(i.sampleRate)},
                                   {"channels", i.channels},
                                   {"bitsPerSample", i.bitsPerSample},
                                   {"blockAlign", i.blockAlign},
                                   {"formatTag", i.formatTag},
                                   {"dataSize", double(i.dataSize)},
                                   {"totalSamples", double(i.totalSamples)},
                                   {"durationMs", double(i.durationMs)},
                                   {"timeReference", double(i.timeReference)}});
    o.insert("chunks", QJsonObject{{"riffSize", double(f.m_riffSize)},
                                   {"fileSize", double(f.m_fileSize)},
                                   {"fmt", double(f.m_fmtDataPos)},
                                   {"bext", double(f.m_bextDataPos)},
                                   {"iXML", double(f.m_ixmlDataPos)},
                                   {"iXMLSize", double(f.m_ixmlChunkSize)},
                                   {"data", double(f.m_fileDataPos)}});
    // The texts as read, before the wild getter records its finding.
    const QJsonObject bext = bextObject(f);
    const QJsonObject ixml = ixmlObject(f);
    o.insert("columns", columns(TakeColumns::cells(f, QFileInfo(f.fileName()).fileName(), 1)));
    o.insert("tracks", table(f.GetTracksInfo(), TakeColumns::trackHeadersList()));
    o.insert("syncPoints", table(f.GetSyncPointsInfo(), TakeColumns::syncPointsHeadersList()));
    o.insert("history", record(f.GetHistoryInfo(), TakeColumns::historyHeadersList()));
    o.insert("fileSet", record(f.GetFileSetInfo(), TakeColumns::fileSetHeadersList()));
    o.insert("bext", bext);
    o.insert("ixml", ixml);
    return o;
}

QJsonObject errorObject(const QString& pathAsGiven, const QString& error)
{
    return QJsonObject{{"path", pathAsGiven}, {"ok", false}, {"error", error}};
}

} // namespace TakeJson

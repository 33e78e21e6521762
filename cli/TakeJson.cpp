#include "TakeJson.h"

#include "AudioFile.h"
#include "TakeColumns.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QtEndian>

#include <functional>

using namespace SoundDefs;

namespace TakeJson {

namespace {

// The title lists of the take list, encoded once; other lists each time.
void withKeys(const QStringList& headers, const std::function<void(const JsonKeys&)>& fn)
{
    static const JsonKeys columns(TakeColumns::headersList());
    static const JsonKeys tracks(TakeColumns::trackHeadersList());
    static const JsonKeys syncPoints(TakeColumns::syncPointsHeadersList());
    static const JsonKeys history(TakeColumns::historyHeadersList());
    static const JsonKeys fileSet(TakeColumns::fileSetHeadersList());
    if (&headers == &TakeColumns::headersList())
        fn(columns);
    else if (&headers == &TakeColumns::trackHeadersList())
        fn(tracks);
    else if (&headers == &TakeColumns::syncPointsHeadersList())
        fn(syncPoints);
    else if (&headers == &TakeColumns::historyHeadersList())
        fn(history);
    else if (&headers == &TakeColumns::fileSetHeadersList())
        fn(fileSet);
    else
        fn(JsonKeys(headers));
}

void writeRecord(JsonWriter& w, const QStringList& values, const JsonKeys& keys)
{
    w.beginObject();
    for (int i = 0; i < keys.size(); ++i) {
        w.key(keys, i);
        w.value(i < values.size() ? values.at(i) : QString());
    }
    w.endObject();
}

} // namespace

void writeColumns(JsonWriter& w, const QStringList& cells)
{
    writeRecord(w, cells, TakeColumns::headersList());
}

void writeRecord(JsonWriter& w, const QStringList& values, const QStringList& headers)
{
    withKeys(headers, [&](const JsonKeys& keys) { writeRecord(w, values, keys); });
}

void writeTable(JsonWriter& w, const QList<QStringList>& rows, const QStringList& headers)
{
    withKeys(headers, [&](const JsonKeys& keys) {
        w.beginArray();
        for (const QStringList& row : rows)
            writeRecord(w, row, keys);
        w.endArray();
    });
}

namespace {

QString bextField(const AudioFile& f, cAudioBext::BEXT_HDR_FIELD field)
{
    QString v;
    if (f.m_info.hasBext)
        f.m_bext.GetBextField(field, v);
    return v;
}

void writeBext(JsonWriter& w, const AudioFile& f)
{
    w.beginObject();
    w.field("present", f.m_info.hasBext);
    w.key("description");
    w.beginArray();
    if (f.m_info.hasBext) {
        for (int i = 0; i < f.m_bext.keys.size(); ++i) {
            if (f.m_bext.keys.at(i).isEmpty())
                continue;
            w.beginArray();
            w.value(f.m_bext.keys.at(i));
            w.value(f.m_bext.values.at(i));
            w.endArray();
        }
    }
    w.endArray();
    w.field("Originator", bextField(f, cAudioBext::Originator));
    w.field("OriginatorReference", bextField(f, cAudioBext::OriginatorReference));
    w.field("OriginationDate", bextField(f, cAudioBext::OriginationDate));
    w.field("OriginationTime", bextField(f, cAudioBext::OriginationTime));
    const BEXTAudioHdr& h = f.m_info.bextHeader;
    const quint64 ref = f.m_info.hasBext
                            ? (quint64(qFromLittleEndian(h.TimeReferenceHigh)) << 32) |
                                  qFromLittleEndian(h.TimeReferenceLow)
                            : 0;
    w.field("TimeReference", QString::number(ref));
    w.field("Version", bextField(f, cAudioBext::Version));
    w.endObject();
}

void writeIxml(JsonWriter& w, const AudioFile& f)
{
    w.beginObject();
    w.field("present", f.m_info.hasIxml);
    w.key("fields");
    w.beginObject();
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        w.field(AudioIxmlData::Fields()[i].path, f.m_info.ixml.Text(i));
    w.endObject();
    w.endObject();
}

} // namespace

void writeFile(JsonWriter& w, AudioFile& f, const QString& pathAsGiven)
{
    const AudioFileInfo& i = f.m_info;
    w.beginObject();
    w.field("path", pathAsGiven);
    w.field("ok", true);
    w.field("container", i.fileType == kFileTypeFlac ? "flac" : "wav");
    // What disagrees between the chunk sizes and the file, or null.
    w.key("damaged");
    if (i.damage.isEmpty())
        w.nullValue();
    else
        w.value(i.damage);
    w.key("format");
    w.beginObject();
    w.field("sampleRate", quint64(i.sampleRate));
    w.field("channels", quint64(i.channels));
    w.field("bitsPerSample", quint64(i.bitsPerSample));
    w.field("blockAlign", quint64(i.blockAlign));
    w.field("formatTag", quint64(i.formatTag));
    w.field("dataSize", i.dataSize);
    w.field("totalSamples", i.totalSamples);
    w.field("durationMs", i.durationMs);
    w.field("timeReference", i.timeReference);
    w.endObject();
    w.key("chunks");
    w.beginObject();
    w.field("riffSize", quint64(f.m_riffSize));
    w.field("fileSize", f.m_fileSize);
    w.field("fmt", f.m_fmtDataPos);
    w.field("bext", f.m_bextDataPos);
    w.field("iXML", f.m_ixmlDataPos);
    w.field("iXMLSize", quint64(f.m_ixmlChunkSize));
    w.field("data", f.m_fileDataPos);
    w.endObject();
    // The texts as read come first: the wild getter records its finding.
    w.key("bext");
    writeBext(w, f);
    w.key("ixml");
    writeIxml(w, f);
    w.key("columns");
    writeColumns(w, TakeColumns::cells(f, QFileInfo(f.fileName()).fileName(), 1));
    w.key("tracks");
    writeTable(w, f.GetTracksInfo(), TakeColumns::trackHeadersList());
    w.key("syncPoints");
    writeTable(w, f.GetSyncPointsInfo(), TakeColumns::syncPointsHeadersList());
    w.key("history");
    writeRecord(w, f.GetHistoryInfo(), TakeColumns::historyHeadersList());
    w.key("fileSet");
    writeRecord(w, f.GetFileSetInfo(), TakeColumns::fileSetHeadersList());
    w.endObject();
}

void writeError(JsonWriter& w, const QString& pathAsGiven, const QString& error)
{
    w.beginObject();
    w.field("path", pathAsGiven);
    w.field("ok", false);
    w.field("error", error);
    w.endObject();
}

namespace {
template <typename Fn> QJsonDocument viaWriter(Fn fn)
{
    std::string text;
    JsonWriter w(text);
    fn(w);
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}
} // namespace

QJsonObject columns(const QStringList& cells)
{
    return viaWriter([&](JsonWriter& w) { writeColumns(w, cells); }).object();
}

QJsonArray table(const QList<QStringList>& rows, const QStringList& headers)
{
    return viaWriter([&](JsonWriter& w) { writeTable(w, rows, headers); }).array();
}

QJsonObject record(const QStringList& values, const QStringList& headers)
{
    return viaWriter([&](JsonWriter& w) { writeRecord(w, values, headers); }).object();
}

} // namespace TakeJson

// Arbitrary bytes as an iXML chunk: parse into a fresh record, render the
// record again and parse the rendering; both parses must agree.
#include "IxmlParser.h"
#include "cXmlWriter.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdlib>

using namespace SoundDefs;

namespace
{

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// UTF-8 when the bytes are valid UTF-8, Latin-1 otherwise.
QString decode(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    AudioFileInfo info;
    {
        IxmlParser parser(info);
        parser.initParser();
        const bool ok = parser.parse(decode(data, size));
        check(ok == parser.lastError().isEmpty());
    }
    const AudioIxmlData& x = info.ixml;
    check(x.trackCount == x.tracks.size());
    check(x.syncPointCount == x.syncPoints.size());

    // The writer renders the channel list; give it the tracks that were read.
    info.channelList = x.tracks;
    QString doc;
    cAudioXmlWriter writer(&info, &doc);
    writer.startDoc();
    writer.WriteXmlData();
    writer.Publish();

    AudioFileInfo back;
    IxmlParser again(back);
    again.initParser();
    check(again.parse(doc));
    for (int i = 0; i < AudioIxmlData::kTextFieldCount; ++i)
        check(back.ixml.Text(i) == x.Text(i));
    check(back.ixml.trackCount == x.trackCount);
    for (int i = 0; i < x.tracks.size(); ++i) {
        const AudioChannelInfo& a = x.tracks[i];
        const AudioChannelInfo& b = back.ixml.tracks[i];
        check(a.name == b.name && a.function == b.function && a.channelIndex == b.channelIndex &&
              a.interleaveIndex == b.interleaveIndex);
    }
    check(back.ixml.syncPointCount == x.syncPointCount);
    for (int i = 0; i < x.syncPoints.size(); ++i) {
        const AudioSyncPoint& a = x.syncPoints[i];
        const AudioSyncPoint& b = back.ixml.syncPoints[i];
        check(a.type == b.type && a.function == b.function && a.low == b.low && a.high == b.high &&
              a.eventDuration == b.eventDuration && b.eventDurationCopy == b.eventDuration);
    }
    return 0;
}

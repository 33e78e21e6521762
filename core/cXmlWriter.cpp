#include "cXmlWriter.h"

using namespace SoundDefs;

namespace
{
const QString kEol = QStringLiteral("\r\n");

// Characters XML 1.0 allows in a document (tab, line feed and carriage return
// are the only control characters). Surrogates are checked in pairs.
bool isXmlChar(char16_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    return c != 0xFFFE && c != 0xFFFF;
}
} // namespace

void cXmlWriter::startDoc()
{
    m_stack.clear();
    m_doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") + kEol;
}

void cXmlWriter::writeTag(const QString& name)
{
    m_doc += QLatin1Char('<');
    m_doc += name;
    m_doc += QLatin1Char('>');
    m_doc += kEol;
}

void cXmlWriter::writeEndTag(const QString& name)
{
    m_doc += QLatin1String("</");
    m_doc += name;
    m_doc += QLatin1Char('>');
    m_doc += kEol;
}

void cXmlWriter::OpenNode(const QString& name)
{
    m_stack.append(name);
    writeTag(name);
}

void cXmlWriter::CreateNode(const QString& name, const QString& value)
{
    // Concatenation, not arg(): the value is copied character for character.
    m_doc += QLatin1Char('<');
    m_doc += name;
    m_doc += QLatin1Char('>');
    m_doc += Escape(value);
    m_doc += QLatin1String("</");
    m_doc += name;
    m_doc += QLatin1Char('>');
    m_doc += kEol;
}

void cXmlWriter::CreateNode(const QString& name, int value)
{
    CreateNode(name, QString::number(value));
}

void cXmlWriter::EndElement()
{
    if (m_stack.isEmpty())
        return;
    const QString name = m_stack.takeLast();
    writeEndTag(name);
}

void cXmlWriter::Publish()
{
    if (m_result)
        *m_result = m_doc;
}

QString cXmlWriter::Escape(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case u'&':
            out += QLatin1String("&amp;");
            continue;
        case u'<':
            out += QLatin1String("&lt;");
            continue;
        case u'>':
            out += QLatin1String("&gt;");
            continue;
        case u'\r':
            // A literal carriage return would be read back as a line feed.
            out += QLatin1String("&#13;");
            continue;
        default:
            break;
        }
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
                out += text.at(i);
                out += text.at(i + 1);
                ++i;
            }
            continue; // a lone surrogate cannot be stored
        }
        if (QChar::isLowSurrogate(c))
            continue;
        // Characters no XML document may hold are left out: kept, they would
        // make the whole document unreadable.
        if (isXmlChar(c))
            out += QChar(c);
    }
    return out;
}

const QVector<cAudioXmlWriter::Section>& cAudioXmlWriter::Sections()
{
    using D = AudioIxmlData;
    static const QVector<Section> sections = {
        {"",
         {{"IXML_VERSION", &D::IXML_VERSION},
          {"PROJECT", &D::PROJECT},
          {"SCENE", &D::SCENE},
          {"TAKE", &D::TAKE},
          {"TAPE", &D::TAPE},
          {"FILE_UID", &D::FILE_UID},
          {"UBITS", &D::UBITS},
          {"NOTE", &D::NOTE},
          {"CIRCLED", &D::CIRCLED},
          {"USER", &D::USER},
          {"WILD_TRACK", &D::WILD_TRACK}}},
        {"SPEED",
         {{"NOTE", &D::SPEED_NOTE},
          {"MASTER_SPEED", &D::MASTER_SPEED},
          {"CURRENT_SPEED", &D::CURRENT_SPEED},
          {"TIMECODE_FLAG", &D::TIMECODE_FLAG},
          {"TIMECODE_RATE", &D::TIMECODE_RATE},
          {"AUDIO_BIT_DEPTH", &D::AUDIO_BIT_DEPTH},
          {"DIGITIZER_SAMPLE_RATE", &D::DIGITIZER_SAMPLE_RATE},
          {"FILE_SAMPLE_RATE", &D::FILE_SAMPLE_RATE},
          {"TIMESTAMP_SAMPLE_RATE", &D::TIMESTAMP_SAMPLE_RATE},
          {"TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI", &D::TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI},
          {"TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO", &D::TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO}}},
        {"HISTORY",
         {{"ORIGINAL_FILENAME", &D::ORIGINAL_FILENAME},
          {"CURRENT_FILENAME", &D::CURRENT_FILENAME},
          {"PARENT_FILENAME", &D::PARENT_FILENAME},
          {"PARENT_UID", &D::PARENT_UID}}},
        {"BEXT",
         {{"BWF_DESCRIPTION", &D::BWF_DESCRIPTION},
          {"BWF_ORIGINATOR", &D::BWF_ORIGINATOR},
          {"BWF_ORIGINATOR_REFERENCE", &D::BWF_ORIGINATOR_REFERENCE},
          {"BWF_ORIGINATION_DATE", &D::BWF_ORIGINATION_DATE},
          {"BWF_ORIGINATION_TIME", &D::BWF_ORIGINATION_TIME},
          {"BWF_TIME_REFERENCE_LOW", &D::BWF_TIME_REFERENCE_LOW},
          {"BWF_TIME_REFERENCE_HIGH", &D::BWF_TIME_REFERENCE_HIGH},
          {"BWF_VERSION", &D::BWF_VERSION},
          {"BWF_UMID", &D::BWF_UMID},
          {"BWF_RESERVED", &D::BWF_RESERVED},
          {"BWF_CODING_HISTORY", &D::BWF_CODING_HISTORY}}},
        {"FILE_SET",
         {{"TOTAL_FILES", &D::TOTAL_FILES},
          {"FAMILY_UID", &D::FAMILY_UID},
          {"FAMILY_NAME", &D::FAMILY_NAME},
          {"FILE_SET_INDEX", &D::FILE_SET_INDEX}}},
    };
    return sections;
}

void cAudioXmlWriter::WriteXmlData()
{
    if (!m_info)
        return;
    const AudioIxmlData& x = m_info->ixml;

    OpenNode(QStringLiteral("BWFXML"));
    for (const Section& s : Sections()) {
        const bool nested = *s.container != 0;
        if (nested)
            OpenNode(QLatin1String(s.container));
        for (const Leaf& l : s.leaves)
            CreateNode(QLatin1String(l.element), x.*(l.member));
        if (nested)
            EndElement();
    }

    WriteTrackList();
    WriteSyncPointList();
    EndElement(); // BWFXML
}

void cAudioXmlWriter::WriteTrack(const AudioChannelInfo& ch)
{
    OpenNode(QStringLiteral("TRACK"));
    CreateNode(QStringLiteral("CHANNEL_INDEX"), ch.channelIndex);
    CreateNode(QStringLiteral("INTERLEAVE_INDEX"), ch.interleaveIndex);
    CreateNode(QStringLiteral("NAME"), ch.name);
    CreateNode(QStringLiteral("FUNCTION"), ch.function);
    EndElement();
}

void cAudioXmlWriter::WriteSyncPoint(const AudioSyncPoint& sp)
{
    OpenNode(QStringLiteral("SYNC_POINT"));
    CreateNode(QStringLiteral("SYNC_POINT_TYPE"), sp.type);
    CreateNode(QStringLiteral("SYNC_POINT_FUNCTION"), sp.function);
    CreateNode(QStringLiteral("SYNC_POINT_LOW"), sp.low);
    CreateNode(QStringLiteral("SYNC_POINT_HIGH"), sp.high);
    CreateNode(QStringLiteral("SYNC_POINT_EVENT_DURATION"), sp.eventDuration);
    EndElement();
}

// The track elements describe the file's own channels (channelList), not the
// tracks that were read.
void cAudioXmlWriter::WriteTrackList()
{
    const AudioIxmlData& x = m_info->ixml;
    if (x.trackCount == 0)
        return;
    OpenNode(QStringLiteral("TRACK_LIST"));
    CreateNode(QStringLiteral("TRACK_COUNT"), x.trackCount);
    for (const AudioChannelInfo& ch : m_info->channelList)
        WriteTrack(ch);
    EndElement();
}

void cAudioXmlWriter::WriteSyncPointList()
{
    const AudioIxmlData& x = m_info->ixml;
    if (x.syncPointCount == 0)
        return;
    OpenNode(QStringLiteral("SYNC_POINT_LIST"));
    CreateNode(QStringLiteral("SYNC_POINT_COUNT"), x.syncPointCount);
    for (const AudioSyncPoint& sp : x.syncPoints)
        WriteSyncPoint(sp);
    EndElement();
}

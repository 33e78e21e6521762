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

void cAudioXmlWriter::WriteXmlData()
{
    if (!m_info)
        return;
    const AudioIxmlData& x = m_info->ixml;

    OpenNode(QStringLiteral("BWFXML"));
    CreateNode(QStringLiteral("IXML_VERSION"), x.IXML_VERSION);
    CreateNode(QStringLiteral("PROJECT"), x.PROJECT);
    CreateNode(QStringLiteral("SCENE"), x.SCENE);
    CreateNode(QStringLiteral("TAKE"), x.TAKE);
    CreateNode(QStringLiteral("TAPE"), x.TAPE);
    CreateNode(QStringLiteral("FILE_UID"), x.FILE_UID);
    CreateNode(QStringLiteral("UBITS"), x.UBITS);
    CreateNode(QStringLiteral("NOTE"), x.NOTE);
    CreateNode(QStringLiteral("CIRCLED"), x.CIRCLED);
    CreateNode(QStringLiteral("USER"), x.USER);
    CreateNode(QStringLiteral("WILD_TRACK"), x.WILD_TRACK);

    OpenNode(QStringLiteral("SPEED"));
    CreateNode(QStringLiteral("NOTE"), x.SPEED_NOTE);
    CreateNode(QStringLiteral("MASTER_SPEED"), x.MASTER_SPEED);
    CreateNode(QStringLiteral("CURRENT_SPEED"), x.CURRENT_SPEED);
    CreateNode(QStringLiteral("TIMECODE_FLAG"), x.TIMECODE_FLAG);
    CreateNode(QStringLiteral("TIMECODE_RATE"), x.TIMECODE_RATE);
    CreateNode(QStringLiteral("AUDIO_BIT_DEPTH"), x.AUDIO_BIT_DEPTH);
    CreateNode(QStringLiteral("DIGITIZER_SAMPLE_RATE"), x.DIGITIZER_SAMPLE_RATE);
    CreateNode(QStringLiteral("FILE_SAMPLE_RATE"), x.FILE_SAMPLE_RATE);
    CreateNode(QStringLiteral("TIMESTAMP_SAMPLE_RATE"), x.TIMESTAMP_SAMPLE_RATE);
    CreateNode(QStringLiteral("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI"),
               x.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI);
    CreateNode(QStringLiteral("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO"),
               x.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO);
    EndElement();

    OpenNode(QStringLiteral("HISTORY"));
    CreateNode(QStringLiteral("ORIGINAL_FILENAME"), x.ORIGINAL_FILENAME);
    CreateNode(QStringLiteral("CURRENT_FILENAME"), x.CURRENT_FILENAME);
    CreateNode(QStringLiteral("PARENT_FILENAME"), x.PARENT_FILENAME);
    CreateNode(QStringLiteral("PARENT_UID"), x.PARENT_UID);
    EndElement();

    OpenNode(QStringLiteral("BEXT"));
    CreateNode(QStringLiteral("BWF_DESCRIPTION"), x.BWF_DESCRIPTION);
    CreateNode(QStringLiteral("BWF_ORIGINATOR"), x.BWF_ORIGINATOR);
    CreateNode(QStringLiteral("BWF_ORIGINATOR_REFERENCE"), x.BWF_ORIGINATOR_REFERENCE);
    CreateNode(QStringLiteral("BWF_ORIGINATION_DATE"), x.BWF_ORIGINATION_DATE);
    CreateNode(QStringLiteral("BWF_ORIGINATION_TIME"), x.BWF_ORIGINATION_TIME);
    CreateNode(QStringLiteral("BWF_TIME_REFERENCE_LOW"), x.BWF_TIME_REFERENCE_LOW);
    CreateNode(QStringLiteral("BWF_TIME_REFERENCE_HIGH"), x.BWF_TIME_REFERENCE_HIGH);
    CreateNode(QStringLiteral("BWF_VERSION"), x.BWF_VERSION);
    CreateNode(QStringLiteral("BWF_UMID"), x.BWF_UMID);
    CreateNode(QStringLiteral("BWF_RESERVED"), x.BWF_RESERVED);
    CreateNode(QStringLiteral("BWF_CODING_HISTORY"), x.BWF_CODING_HISTORY);
    EndElement();

    OpenNode(QStringLiteral("FILE_SET"));
    CreateNode(QStringLiteral("TOTAL_FILES"), x.TOTAL_FILES);
    CreateNode(QStringLiteral("FAMILY_UID"), x.FAMILY_UID);
    CreateNode(QStringLiteral("FAMILY_NAME"), x.FAMILY_NAME);
    CreateNode(QStringLiteral("FILE_SET_INDEX"), x.FILE_SET_INDEX);
    EndElement();

    // The track elements describe the file's own channels (channelList), not
    // the tracks that were read.
    if (x.trackCount != 0) {
        OpenNode(QStringLiteral("TRACK_LIST"));
        CreateNode(QStringLiteral("TRACK_COUNT"), x.trackCount);
        for (const AudioChannelInfo& ch : m_info->channelList) {
            OpenNode(QStringLiteral("TRACK"));
            CreateNode(QStringLiteral("CHANNEL_INDEX"), ch.channelIndex);
            CreateNode(QStringLiteral("INTERLEAVE_INDEX"), ch.interleaveIndex);
            CreateNode(QStringLiteral("NAME"), ch.name);
            CreateNode(QStringLiteral("FUNCTION"), ch.function);
            EndElement();
        }
        EndElement();
    }

    if (x.syncPointCount != 0) {
        OpenNode(QStringLiteral("SYNC_POINT_LIST"));
        CreateNode(QStringLiteral("SYNC_POINT_COUNT"), x.syncPointCount);
        for (const AudioSyncPoint& sp : x.syncPoints) {
            OpenNode(QStringLiteral("SYNC_POINT"));
            CreateNode(QStringLiteral("SYNC_POINT_TYPE"), sp.type);
            CreateNode(QStringLiteral("SYNC_POINT_FUNCTION"), sp.function);
            CreateNode(QStringLiteral("SYNC_POINT_LOW"), sp.low);
            CreateNode(QStringLiteral("SYNC_POINT_HIGH"), sp.high);
            CreateNode(QStringLiteral("SYNC_POINT_EVENT_DURATION"), sp.eventDuration);
            EndElement();
        }
        EndElement();
    }

    EndElement(); // BWFXML
}

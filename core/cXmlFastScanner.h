#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

// A strict scanner for the plain XML that recorders write: elements,
// attributes, text with the predefined and numeric character references,
// comments and an XML declaration. scan() succeeds only for a document it
// understands completely up to the end of its root element; for anything
// else (DTD, CDATA, processing instructions, other entities, non-ASCII names,
// malformed input) it returns false and the caller parses the text with
// QXmlStreamReader, which stays the reference for every result and every
// error message. Events refer into the scanned text, which must outlive them.
class cXmlFastScanner
{
public:
    struct Attribute {
        QStringView name;
        QStringView value;
    };
    struct Event {
        enum Kind : quint8 { Start, End, Text };
        Kind kind = Text;
        QStringView name;     // Start, End
        QStringView text;     // Text as written, when no decoding was needed
        int decoded = -1;     // Text: index into decodedTexts() instead
        int firstAttribute = 0;
        int attributeCount = 0;
    };

    // Scans doc up to the end of its root element. Returns false when the
    // document needs the full reader.
    bool scan(QStringView doc);

    const QVector<Event>& events() const { return m_events; }
    const QVector<Attribute>& attributes() const { return m_attributes; }
    QStringView textOf(const Event& e) const
    {
        return e.decoded >= 0 ? QStringView(m_decoded.at(e.decoded)) : e.text;
    }

private:
    bool scanText(qsizetype end);
    bool scanStartTag();
    bool scanEndTag();
    bool scanComment();
    bool scanName(QStringView& name);
    void skipSpace();

    QStringView m_doc;
    qsizetype m_pos = 0;
    QVector<QStringView> m_open; // names of the open elements
    QVector<Event> m_events;
    QVector<Attribute> m_attributes;
    QVector<QString> m_decoded;
};

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
// error message. Events go to a sink as they are scanned, so a sink may have
// seen part of a document that scan() then gives up on.
class cXmlFastScanner
{
public:
    struct Attribute {
        QStringView name;
        QStringView value;
    };
    // Receives the events of one scan. Views stay valid until scan() returns:
    // names and plain texts point into the document, decoded texts into the
    // scanner.
    class Sink
    {
    public:
        virtual ~Sink() = default;
        virtual void start(QStringView name, const Attribute* attributes, int count) = 0;
        virtual void text(QStringView text) = 0;
        virtual void end(QStringView name) = 0;
    };

    // Scans doc up to the end of its root element, handing each event to sink
    // (when given). Returns false when the document needs the full reader.
    bool scan(QStringView doc, Sink* sink = nullptr);

private:
    // The text from the current position up to the next '<'.
    bool scanText();
    bool scanStartTag();
    bool scanEndTag();
    bool scanComment();
    bool scanName(QStringView& name);
    void skipSpace();

    QStringView m_doc;
    qsizetype m_pos = 0;
    Sink* m_sink = nullptr;
    QVector<QStringView> m_open;     // names of the open elements
    QVector<Attribute> m_attributes; // of the start tag being scanned
    // Texts with references or line ends, decoded; kept until scan() returns.
    QString m_decodedArena;
    QVector<QString> m_decoded; // earlier arenas
};

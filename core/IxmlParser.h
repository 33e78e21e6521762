#pragma once

#include "SoundDefs.h"

#include <QString>
#include <QStringView>
#include <QVarLengthArray>
#include <QVector>

// Event handler in the shape of a SAX content handler. parse() drives these
// callbacks from the fast scanner or from a QXmlStreamReader loop, the same
// way for both. Names and texts are views valid during the call only.
class cDefaultHandler
{
public:
    struct Attribute {
        QString name;
        QString value;
    };

    virtual ~cDefaultHandler() = default;

    virtual bool startDocument() { return true; }
    // The fast scanner gave up on a document it had begun to report: what the
    // callbacks since startDocument() brought is to be forgotten, the full
    // reader reports the document again from its start.
    virtual void startOver() {}
    virtual bool endDocument() { return true; }
    // Namespace processing is off: qName is the name as written, prefix included.
    virtual bool startElement(QStringView qName, const QVector<Attribute>& attributes)
    {
        Q_UNUSED(qName);
        Q_UNUSED(attributes);
        return true;
    }
    // The character data of one element between two tags, in one piece.
    virtual bool characters(QStringView text)
    {
        Q_UNUSED(text);
        return true;
    }
    virtual bool endElement(QStringView qName)
    {
        Q_UNUSED(qName);
        return true;
    }
    // Sets lastError() to "SAX Parser: Parse error at line %1, column %2: %3"
    // and returns false so that parsing stops.
    virtual bool fatalError(qint64 line, qint64 column, const QString& message);

    // Runs the reader over text, making the callbacks above. Returns false on
    // malformed XML (after fatalError) and true otherwise. Plain documents go
    // through a fast scanner with the same callbacks; FullReader forces
    // QXmlStreamReader (tests compare the two).
    enum class ReaderChoice { Any, FullReader };
    bool parse(const QString& text, ReaderChoice choice = ReaderChoice::Any);

    const QString& lastError() const { return m_lastError; }

protected:
    QString m_lastError;
};

// Fills the iXML fields of one AudioFileInfo from an iXML document. Element
// names are matched exactly (case-sensitive) against the iXML vocabulary,
// and only under the parent the vocabulary gives them; anything inside an
// unknown element or a leaf is passed over. Blank texts are not stored.
class IxmlParser : public cDefaultHandler
{
    // Holds a reference to the bound record.
    Q_DISABLE_COPY(IxmlParser)

public:
    explicit IxmlParser(SoundDefs::AudioFileInfo& info) : m_info(info) {}

    // Empties tracks and sync points of the record (the 41 texts are kept) and
    // resets the walk to the start of a document.
    bool initParser();

    bool startDocument() override;
    void startOver() override;
    bool endDocument() override;
    bool startElement(QStringView qName, const QVector<Attribute>& attributes) override;
    bool characters(QStringView text) override;
    bool endElement(QStringView qName) override;

    struct Binding; // one entry of the vocabulary (IxmlParser.cpp)

private:
    SoundDefs::AudioFileInfo& m_info;
    SoundDefs::AudioChannelInfo m_track;
    SoundDefs::AudioSyncPoint m_syncPoint;
    // The record and the walk as they were at startDocument(), for startOver().
    SoundDefs::AudioIxmlData m_atStart;
    SoundDefs::AudioChannelInfo m_trackAtStart;
    SoundDefs::AudioSyncPoint m_syncPointAtStart;
    QVarLengthArray<qint16, 32> m_statesAtStart;
    int m_nodeAtStart = 0;
    // Node states: a node id (>= 1) inside a known node, or one of the
    // negative states of IxmlParser.cpp; the bottom entry is before the root.
    QVarLengthArray<qint16, 32> m_states;
    int m_node = 0;                     // the node whose children are looked up
    const Binding* m_binding = nullptr; // where the current element's text goes
};

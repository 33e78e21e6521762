#pragma once

#include "SoundDefs.h"
#include "cTagDataMap.h"

#include <QString>

// Event handler in the shape of a SAX content handler. A QXmlStreamReader loop
// (parse()) drives these callbacks exactly as a SAX reader would.
class cDefaultHandler : public cTagDataMap
{
public:
    struct Attribute {
        QString name;
        QString value;
    };

    virtual bool startDocument() { return true; }
    virtual bool endDocument();
    virtual bool startElement(const QString& namespaceUri, const QString& localName,
                              const QString& qName, const QVector<Attribute>& attributes);
    virtual bool characters(const QString& text);
    virtual bool endElement(const QString& namespaceUri, const QString& localName,
                            const QString& qName);
    // Builds "SAX Parser: Parse error at line %1, column %2: %3", hands it to
    // fatalErr and returns false so that parsing stops.
    virtual bool fatalError(qint64 line, qint64 column, const QString& message);

    // Runs the reader over text, making the callbacks above. Returns false on
    // malformed XML (after fatalError) and true otherwise. Plain documents go
    // through a fast scanner with the same callbacks; FullReader forces
    // QXmlStreamReader (tests compare the two).
    enum class ReaderChoice { Any, FullReader };
    bool parse(const QString& text, ReaderChoice choice = ReaderChoice::Any);

    const QString& lastError() const { return m_lastError; }

protected:
    QString m_currentElement;
    QString m_lastError;
};

// Fills the iXML fields of one AudioFileInfo from an iXML document.
class IxmlParser : public cDefaultHandler
{
    // The tag map holds pointers into this object and into the bound record.
    Q_DISABLE_COPY(IxmlParser)

public:
    explicit IxmlParser(SoundDefs::AudioFileInfo& info) : m_info(info) {}

    // Empties tracks and sync points of the record (the 41 texts are kept) and
    // builds the tag map of the iXML vocabulary.
    bool initParser();
    void exitParentNode(int id) override;
    void fatalErr(const QString& message) override { m_lastError = message; }

private:
    SoundDefs::AudioFileInfo& m_info;
    SoundDefs::AudioChannelInfo m_track;
    SoundDefs::AudioSyncPoint m_syncPoint;
    qint32 m_trackCountRead = 0;
    qint32 m_syncPointCountRead = 0;
};

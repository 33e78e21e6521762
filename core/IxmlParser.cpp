#include "IxmlParser.h"

#include "cXmlFastScanner.h"

#include <QXmlStreamReader>

using namespace SoundDefs;

namespace
{

bool isBlank(const QString& text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// cDefaultHandler

bool cDefaultHandler::endDocument()
{
    m_groups.clear();
    m_currentGroup = nullptr;
    return true;
}

bool cDefaultHandler::startElement(const QString& namespaceUri, const QString& localName,
                                   const QString& qName, const QVector<Attribute>& attributes)
{
    Q_UNUSED(namespaceUri);
    Q_UNUSED(localName);
    m_currentElement.clear();
    if (qName.isEmpty())
        return true;
    m_currentElement = qName;
    startNodeElement(qName);
    if (!attributes.isEmpty() && nodeAttributeElement(qName, QString(), QString())) {
        for (const Attribute& a : attributes)
            nodeAttributeElement(qName, a.name, a.value);
    }
    return true;
}

bool cDefaultHandler::characters(const QString& text)
{
    if (!m_currentElement.isEmpty() && !isBlank(text))
        nodeElement(m_currentElement, text);
    return true;
}

bool cDefaultHandler::endElement(const QString& namespaceUri, const QString& localName,
                                 const QString& qName)
{
    Q_UNUSED(namespaceUri);
    Q_UNUSED(localName);
    // Text after an element's end belongs to its parent, never to this element.
    m_currentElement.clear();
    endNodeElement(qName);
    return true;
}

bool cDefaultHandler::fatalError(qint64 line, qint64 column, const QString& message)
{
    // One arg() call: '%' inside the message is not a placeholder.
    const QString text = QStringLiteral("SAX Parser: Parse error at line %1, column %2: %3")
                             .arg(QString::number(line), QString::number(column), message);
    m_lastError = text;
    fatalErr(text);
    return false;
}

namespace {

// Turns element events into the handler's callbacks, the same way for both
// readers: character data of one element may arrive in several pieces
// (references, CDATA sections, comments in between) and is reported as one
// text when the next element starts or ends; the document ends with its root.
class EventDispatch
{
public:
    explicit EventDispatch(cDefaultHandler& handler) : m_handler(handler) {}

    enum class Step { Continue, Done, Failed };

    Step start(const QString& qName, const QVector<cDefaultHandler::Attribute>& attributes)
    {
        if (!flush())
            return Step::Failed;
        ++m_depth;
        // Namespace processing is off: the local name is the qualified name
        // and there is no namespace.
        return m_handler.startElement(QString(), qName, qName, attributes) ? Step::Continue
                                                                           : Step::Failed;
    }

    void text(QStringView piece)
    {
        if (m_depth > 0) {
            m_pending += piece;
            m_havePending = true;
        }
    }

    Step end(const QString& qName)
    {
        if (!flush() || !m_handler.endElement(QString(), qName, qName))
            return Step::Failed;
        // Whatever follows the root element (chunk padding, stray content) is
        // not part of the document.
        if (--m_depth == 0)
            return m_handler.endDocument() ? Step::Done : Step::Failed;
        return Step::Continue;
    }

    bool flush()
    {
        if (!m_havePending)
            return true;
        m_havePending = false;
        const bool ok = m_handler.characters(m_pending);
        m_pending.clear();
        return ok;
    }

private:
    cDefaultHandler& m_handler;
    QString m_pending;
    bool m_havePending = false;
    int m_depth = 0;
};

} // namespace

bool cDefaultHandler::parse(const QString& text, ReaderChoice choice)
{
    if (choice == ReaderChoice::Any) {
        // Plain documents are scanned without the full reader, which costs
        // several times more; the callbacks are the same either way.
        cXmlFastScanner scanner;
        if (scanner.scan(text)) {
            if (!startDocument())
                return false;
            EventDispatch dispatch(*this);
            QVector<Attribute> attributes;
            for (const cXmlFastScanner::Event& e : scanner.events()) {
                EventDispatch::Step step = EventDispatch::Step::Continue;
                if (e.kind == cXmlFastScanner::Event::Text) {
                    dispatch.text(scanner.textOf(e));
                } else if (e.kind == cXmlFastScanner::Event::Start) {
                    attributes.clear();
                    for (int i = 0; i < e.attributeCount; ++i) {
                        const cXmlFastScanner::Attribute& a =
                            scanner.attributes().at(e.firstAttribute + i);
                        attributes.append({a.name.toString(), a.value.toString()});
                    }
                    step = dispatch.start(e.name.toString(), attributes);
                } else {
                    step = dispatch.end(e.name.toString());
                }
                if (step != EventDispatch::Step::Continue)
                    return step == EventDispatch::Step::Done;
            }
            return true;
        }
    }

    QXmlStreamReader reader(text);
    // Names are matched as written (prefix included); an undeclared prefix is
    // not an error worth losing the metadata for.
    reader.setNamespaceProcessing(false);
    EventDispatch dispatch(*this);
    while (!reader.atEnd()) {
        EventDispatch::Step step = EventDispatch::Step::Continue;
        switch (reader.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (!startDocument())
                return false;
            break;
        case QXmlStreamReader::EndDocument:
            return dispatch.flush() && endDocument();
        case QXmlStreamReader::StartElement: {
            QVector<Attribute> attributes;
            const QXmlStreamAttributes attrs = reader.attributes();
            attributes.reserve(attrs.size());
            for (const QXmlStreamAttribute& a : attrs)
                attributes.append({a.qualifiedName().toString(), a.value().toString()});
            step = dispatch.start(reader.qualifiedName().toString(), attributes);
            break;
        }
        case QXmlStreamReader::Characters:
            dispatch.text(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            step = dispatch.end(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::Invalid:
            return fatalError(reader.lineNumber(), reader.columnNumber(), reader.errorString());
        default:
            break; // comments, processing instructions, DTD, entity references
        }
        if (step != EventDispatch::Step::Continue)
            return step == EventDispatch::Step::Done;
    }
    if (reader.hasError())
        return fatalError(reader.lineNumber(), reader.columnNumber(), reader.errorString());
    return true;
}

// ---------------------------------------------------------------------------
// IxmlParser

bool IxmlParser::initParser()
{
    InitDataMap(10, 0);
    AudioIxmlData& x = m_info.ixml;
    x.tracks.clear();
    x.syncPoints.clear();
    x.trackCount = 0;
    x.syncPointCount = 0;
    m_track.Clear();
    m_syncPoint.Clear();
    m_trackCountRead = 0;
    m_syncPointCountRead = 0;
    m_currentElement.clear();
    m_lastError.clear();

    TagMapGroup& doc = group(0);
    doc.nodeMap.insert(QStringLiteral("BWFXML"), 1);

    TagMapGroup& root = group(1);
    root.nodeMap.insert(QStringLiteral("SPEED"), 2);
    root.nodeMap.insert(QStringLiteral("HISTORY"), 3);
    root.nodeMap.insert(QStringLiteral("TRACK_LIST"), 4);
    root.nodeMap.insert(QStringLiteral("SYNC_POINT_LIST"), 6);
    root.nodeMap.insert(QStringLiteral("FILE_SET"), 8);
    root.nodeMap.insert(QStringLiteral("BEXT"), 9);

    // Text leaves of BWFXML, SPEED, HISTORY, FILE_SET and BEXT are bound to the
    // record field of the same element under the same parent.
    static const struct {
        const char* parent;
        int groupId;
    } parents[] = {{"", 1}, {"SPEED", 2}, {"HISTORY", 3}, {"FILE_SET", 8}, {"BEXT", 9}};
    for (const AudioIxmlData::FieldDef& f : AudioIxmlData::Fields()) {
        for (const auto& p : parents) {
            if (qstrcmp(f.parent, p.parent) == 0) {
                group(p.groupId).textMap.insert(QString::fromLatin1(f.element), &(x.*f.member));
                break;
            }
        }
    }

    TagMapGroup& trackList = group(4);
    trackList.nodeMap.insert(QStringLiteral("TRACK"), 5);
    trackList.intMap.insert(QStringLiteral("TRACK_COUNT"), &m_trackCountRead);

    TagMapGroup& track = group(5);
    track.intMap.insert(QStringLiteral("CHANNEL_INDEX"), &m_track.channelIndex);
    track.intMap.insert(QStringLiteral("INTERLEAVE_INDEX"), &m_track.interleaveIndex);
    track.textMap.insert(QStringLiteral("NAME"), &m_track.name);
    track.textMap.insert(QStringLiteral("FUNCTION"), &m_track.function);

    TagMapGroup& syncList = group(6);
    syncList.nodeMap.insert(QStringLiteral("SYNC_POINT"), 7);
    syncList.intMap.insert(QStringLiteral("SYNC_POINT_COUNT"), &m_syncPointCountRead);

    TagMapGroup& sync = group(7);
    sync.textMap.insert(QStringLiteral("SYNC_POINT_TYPE"), &m_syncPoint.type);
    sync.textMap.insert(QStringLiteral("SYNC_POINT_FUNCTION"), &m_syncPoint.function);
    sync.textMap.insert(QStringLiteral("SYNC_POINT_LOW"), &m_syncPoint.low);
    sync.textMap.insert(QStringLiteral("SYNC_POINT_HIGH"), &m_syncPoint.high);
    sync.textMap.insert(QStringLiteral("SYNC_POINT_EVENT_DURATION"), &m_syncPoint.eventDuration);
    return true;
}

void IxmlParser::exitParentNode(int id)
{
    AudioIxmlData& x = m_info.ixml;
    if (id == 5) {
        x.tracks.append(m_track);
        ++x.trackCount;
        m_track.Clear();
    } else if (id == 7) {
        // Not reset: a field missing from the next sync point keeps this value.
        x.syncPoints.append(m_syncPoint);
        ++x.syncPointCount;
    }
}

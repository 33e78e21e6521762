#include "IxmlParser.h"

#include "cXmlFastScanner.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

using namespace SoundDefs;

namespace
{

// Walk states besides the node ids (1 .. 9).
constexpr qint16 kBeforeRoot = -1; // document level: only the root may be recognised
constexpr qint16 kLeaf = -2;       // inside a leaf or an unknown element
constexpr qint16 kIgnored = -4;    // inside anything nested in such an element

// Node ids of the vocabulary; 0 is the document level.
enum Node : qint16 {
    kDocument = 0,
    kRoot = 1,
    kSpeed = 2,
    kHistory = 3,
    kTrackList = 4,
    kTrack = 5,
    kSyncList = 6,
    kSync = 7,
    kFileSet = 8,
    kBext = 9,
};

bool isBlank(QStringView text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

} // namespace

// One element name under one node: a child node, or where its text goes.
struct IxmlParser::Binding {
    enum Kind : quint8 { ChildNode, RecordText, TrackText, TrackInt, SyncText };
    qint16 node = kDocument;
    QLatin1String name;
    Kind kind = ChildNode;
    qint16 child = 0;
    QString AudioIxmlData::*recordText = nullptr;
    QString AudioChannelInfo::*trackText = nullptr;
    qint32 AudioChannelInfo::*trackInt = nullptr;
    QString AudioSyncPoint::*syncText = nullptr;
};

namespace
{

using Binding = IxmlParser::Binding;

// The vocabulary, built once and never changed. TRACK_COUNT and
// SYNC_POINT_COUNT are not bound: the counts are those of the elements found.
const std::vector<Binding>& vocabulary()
{
    static const std::vector<Binding> table = [] {
        std::vector<Binding> t;
        auto child = [&t](qint16 node, const char* name, qint16 id) {
            Binding b;
            b.node = node;
            b.name = QLatin1String(name);
            b.kind = Binding::ChildNode;
            b.child = id;
            t.push_back(b);
        };
        child(kDocument, "BWFXML", kRoot);
        child(kRoot, "SPEED", kSpeed);
        child(kRoot, "HISTORY", kHistory);
        child(kRoot, "TRACK_LIST", kTrackList);
        child(kRoot, "SYNC_POINT_LIST", kSyncList);
        child(kRoot, "FILE_SET", kFileSet);
        child(kRoot, "BEXT", kBext);
        child(kTrackList, "TRACK", kTrack);
        child(kSyncList, "SYNC_POINT", kSync);

        // Text leaves of BWFXML, SPEED, HISTORY, FILE_SET and BEXT go to the
        // record field of the same element under the same parent.
        static const struct {
            const char* parent;
            qint16 node;
        } parents[] = {{"", kRoot},
                       {"SPEED", kSpeed},
                       {"HISTORY", kHistory},
                       {"FILE_SET", kFileSet},
                       {"BEXT", kBext}};
        for (const AudioIxmlData::FieldDef& f : AudioIxmlData::Fields()) {
            for (const auto& p : parents) {
                if (qstrcmp(f.parent, p.parent) == 0) {
                    Binding b;
                    b.node = p.node;
                    b.name = QLatin1String(f.element);
                    b.kind = Binding::RecordText;
                    b.recordText = f.member;
                    t.push_back(b);
                    break;
                }
            }
        }
        auto track = [&t](const char* name, QString AudioChannelInfo::*text,
                          qint32 AudioChannelInfo::*number) {
            Binding b;
            b.node = kTrack;
            b.name = QLatin1String(name);
            b.kind = text ? Binding::TrackText : Binding::TrackInt;
            b.trackText = text;
            b.trackInt = number;
            t.push_back(b);
        };
        track("CHANNEL_INDEX", nullptr, &AudioChannelInfo::channelIndex);
        track("INTERLEAVE_INDEX", nullptr, &AudioChannelInfo::interleaveIndex);
        track("NAME", &AudioChannelInfo::name, nullptr);
        track("FUNCTION", &AudioChannelInfo::function, nullptr);
        auto sync = [&t](const char* name, QString AudioSyncPoint::*text) {
            Binding b;
            b.node = kSync;
            b.name = QLatin1String(name);
            b.kind = Binding::SyncText;
            b.syncText = text;
            t.push_back(b);
        };
        sync("SYNC_POINT_TYPE", &AudioSyncPoint::type);
        sync("SYNC_POINT_FUNCTION", &AudioSyncPoint::function);
        sync("SYNC_POINT_LOW", &AudioSyncPoint::low);
        sync("SYNC_POINT_HIGH", &AudioSyncPoint::high);
        sync("SYNC_POINT_EVENT_DURATION", &AudioSyncPoint::eventDuration);
        return t;
    }();
    return table;
}

constexpr int kNodeCount = kBext + 1;

// The bindings of each node by name length: a look-up compares the first
// letters of the two or three names of its length, no hashing.
constexpr int kLengthBuckets = 48; // longer names share the last bucket

struct NodeBindings {
    std::vector<const Binding*> of[kNodeCount][kLengthBuckets];
};

int bucketOf(qsizetype length)
{
    return int(std::min<qsizetype>(length, kLengthBuckets - 1));
}

const NodeBindings& byNode()
{
    static const NodeBindings table = [] {
        NodeBindings t;
        for (const Binding& b : vocabulary())
            t.of[b.node][bucketOf(b.name.size())].push_back(&b);
        return t;
    }();
    return table;
}

// The binding of name under node, or null.
const Binding* lookUp(int node, QStringView name)
{
    if (node < 0 || node >= kNodeCount || name.isEmpty())
        return nullptr;
    const char16_t first = name.front().unicode();
    for (const Binding* b : byNode().of[node][bucketOf(name.size())]) {
        if (b->name.size() == name.size() && char16_t(uchar(b->name.front().toLatin1())) == first &&
            name == b->name)
            return b;
    }
    return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// cDefaultHandler

bool cDefaultHandler::fatalError(qint64 line, qint64 column, const QString& message)
{
    // One arg() call: '%' inside the message is not a placeholder.
    m_lastError = QStringLiteral("SAX Parser: Parse error at line %1, column %2: %3")
                      .arg(QString::number(line), QString::number(column), message);
    return false;
}

namespace
{

// Turns element events into the handler's callbacks, the same way for both
// readers: character data of one element may arrive in several pieces
// (references, CDATA sections, comments in between) and is reported as one
// text when the next element starts or ends; the document ends with its root.
// piecesStay: the pieces outlive the next event (views into the scanned
// document), so a text of one piece is handed on without a copy.
class EventDispatch : public cXmlFastScanner::Sink
{
public:
    EventDispatch(cDefaultHandler& handler, bool piecesStay)
        : m_handler(handler), m_piecesStay(piecesStay)
    {
    }

    enum class Step { Continue, Done, Failed };

    // The scanner's events; once the handler has stopped, the rest is dropped.
    void start(QStringView name, const cXmlFastScanner::Attribute* attributes, int count) override
    {
        if (m_last != Step::Continue)
            return;
        if (!m_attributes.isEmpty())
            m_attributes.clear();
        for (int i = 0; i < count; ++i)
            m_attributes.append({attributes[i].name.toString(), attributes[i].value.toString()});
        m_last = onStart(name, m_attributes);
    }
    void end(QStringView name) override
    {
        if (m_last == Step::Continue)
            m_last = onEnd(name);
    }
    // True once the root element ended and every callback agreed.
    bool done() const { return m_last == Step::Done; }

    Step onStart(QStringView qName, const QVector<cDefaultHandler::Attribute>& attributes)
    {
        if (!flush())
            return Step::Failed;
        ++m_depth;
        return m_handler.startElement(qName, attributes) ? Step::Continue : Step::Failed;
    }

    void text(QStringView piece) override
    {
        if (m_depth <= 0 || m_last != Step::Continue)
            return;
        if (!m_havePending && m_piecesStay) {
            m_pending = piece;
        } else {
            if (!m_owned) {
                m_buffer = m_havePending ? m_pending.toString() : QString();
                m_owned = true;
            }
            m_buffer += piece;
            m_pending = m_buffer;
        }
        m_havePending = true;
    }

    Step onEnd(QStringView qName)
    {
        if (!flush() || !m_handler.endElement(qName))
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
        m_pending = QStringView();
        if (m_owned) {
            m_buffer.clear();
            m_owned = false;
        }
        return ok;
    }

private:
    cDefaultHandler& m_handler;
    const bool m_piecesStay;
    QStringView m_pending; // the text so far: a piece, or m_buffer
    QString m_buffer;
    bool m_owned = false; // m_pending is m_buffer
    bool m_havePending = false;
    int m_depth = 0;
    Step m_last = Step::Continue;
    QVector<cDefaultHandler::Attribute> m_attributes;
};

} // namespace

bool cDefaultHandler::parse(const QString& text, ReaderChoice choice)
{
    if (choice == ReaderChoice::Any) {
        // Plain documents are scanned without the full reader, which costs
        // several times more; the callbacks are the same either way. The
        // events go to the handler as they are scanned: when the scanner
        // gives up half-way, the handler starts over with the full reader.
        if (!startDocument())
            return false;
        EventDispatch dispatch(*this, true);
        cXmlFastScanner scanner;
        if (scanner.scan(text, &dispatch))
            return dispatch.done();
        startOver();
    }

    QXmlStreamReader reader(text);
    // Names are matched as written (prefix included); an undeclared prefix is
    // not an error worth losing the metadata for.
    reader.setNamespaceProcessing(false);
    EventDispatch dispatch(*this, false);
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
            step = dispatch.onStart(reader.qualifiedName(), attributes);
            break;
        }
        case QXmlStreamReader::Characters:
            dispatch.text(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            step = dispatch.onEnd(reader.qualifiedName());
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
    AudioIxmlData& x = m_info.ixml;
    x.tracks.clear();
    x.syncPoints.clear();
    x.trackCount = 0;
    x.syncPointCount = 0;
    m_track.Clear();
    m_syncPoint.Clear();
    m_lastError.clear();
    m_states.clear();
    m_states.append(kBeforeRoot);
    m_node = kDocument;
    m_binding = nullptr;
    return true;
}

bool IxmlParser::startDocument()
{
    // Copies of implicitly shared texts: a few reference counts.
    m_atStart = m_info.ixml;
    m_trackAtStart = m_track;
    m_syncPointAtStart = m_syncPoint;
    m_statesAtStart = m_states;
    m_nodeAtStart = m_node;
    return true;
}

void IxmlParser::startOver()
{
    m_info.ixml = m_atStart;
    m_track = m_trackAtStart;
    m_syncPoint = m_syncPointAtStart;
    m_states = m_statesAtStart;
    m_node = m_nodeAtStart;
    m_binding = nullptr;
}

bool IxmlParser::endDocument()
{
    // Nothing after the root is read: the walk stays at document level.
    m_states.resize(1);
    m_node = kDocument;
    m_binding = nullptr;
    return true;
}

bool IxmlParser::startElement(QStringView qName, const QVector<Attribute>& attributes)
{
    Q_UNUSED(attributes);
    m_binding = nullptr;
    qint16 state = m_states.isEmpty() ? kBeforeRoot : m_states.last();
    if (state == kLeaf)
        state = kIgnored;
    if (state != kIgnored) {
        const Binding* b = lookUp(m_node, qName);
        if (b && b->kind == Binding::ChildNode) {
            state = b->child;
            m_node = b->child;
            b = lookUp(m_node, qName);
        } else {
            state = kLeaf;
        }
        if (b && b->kind != Binding::ChildNode)
            m_binding = b;
    }
    m_states.append(state);
    return true;
}

bool IxmlParser::characters(QStringView text)
{
    if (!m_binding || isBlank(text))
        return true;
    switch (m_binding->kind) {
    case Binding::RecordText:
        m_info.ixml.*(m_binding->recordText) = text.toString();
        break;
    case Binding::TrackText:
        m_track.*(m_binding->trackText) = text.toString();
        break;
    case Binding::TrackInt:
        m_track.*(m_binding->trackInt) = text.toInt(nullptr, 10); // 0 when not a number
        break;
    case Binding::SyncText:
        m_syncPoint.*(m_binding->syncText) = text.toString();
        break;
    case Binding::ChildNode:
        break;
    }
    return true;
}

bool IxmlParser::endElement(QStringView qName)
{
    Q_UNUSED(qName);
    // Text after an element's end belongs to its parent, never to this element.
    m_binding = nullptr;
    // The bottom entry (before the root) is never popped, so a stray end
    // event cannot empty the walk.
    if (m_states.size() <= 1)
        return true;
    const qint16 popped = m_states.last();
    m_states.removeLast();
    const qint16 state = m_states.last();
    AudioIxmlData& x = m_info.ixml;
    if (popped == kTrack) {
        x.tracks.append(m_track);
        ++x.trackCount;
        m_track.Clear();
    } else if (popped == kSync) {
        // Not reset: a field missing from the next sync point keeps this value.
        x.syncPoints.append(m_syncPoint);
        ++x.syncPointCount;
    }
    if (state >= 1)
        m_node = state;
    else if (state == kBeforeRoot)
        m_node = kDocument;
    return true;
}

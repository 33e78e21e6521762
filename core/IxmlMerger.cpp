#include "IxmlMerger.h"

#include "cXmlWriter.h"

#include <QMap>
#include <QVector>

#include <algorithm>

using namespace SoundDefs;

namespace
{

const QString kEol = QStringLiteral("\r\n");

// One element of the document, by its offsets in the text.
struct Node {
    QStringView name;
    int parent = -1;
    qsizetype open = 0;         // its '<'
    qsizetype contentBegin = 0; // after the '>' of its start tag
    qsizetype contentEnd = 0;   // the '<' of its end tag (contentBegin when self-closing)
    qsizetype close = 0;        // after its end tag
    bool selfClosing = false;
    bool hasChildren = false;
    QString text; // its own character data, decoded as a reader reports it
    QVector<int> children;
};

// Replaces [from, to) of the document by text; from == to inserts.
struct Edit {
    qsizetype from;
    qsizetype to;
    QString text;
};

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Line ends as an XML reader reports them: "\r\n" and a lone "\r" become "\n".
void appendNormalised(QString& out, QStringView raw)
{
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'\r') {
            out += QLatin1Char('\n');
            if (i + 1 < raw.size() && raw.at(i + 1) == u'\n')
                ++i;
        } else {
            out += c;
        }
    }
}

// Character data with its references resolved. A reference to an entity of a
// DTD stays as written: the text then differs from any record value and the
// element is rewritten, which keeps its meaning.
void appendDecoded(QString& out, QStringView raw)
{
    qsizetype i = 0;
    while (i < raw.size()) {
        const qsizetype amp = raw.indexOf(QLatin1Char('&'), i);
        const qsizetype stop = amp < 0 ? raw.size() : amp;
        appendNormalised(out, raw.mid(i, stop - i));
        if (amp < 0)
            break;
        const qsizetype semi = raw.indexOf(QLatin1Char(';'), amp);
        if (semi < 0) {
            appendNormalised(out, raw.mid(amp));
            break;
        }
        const QStringView name = raw.mid(amp + 1, semi - amp - 1);
        if (name == u"amp")
            out += QLatin1Char('&');
        else if (name == u"lt")
            out += QLatin1Char('<');
        else if (name == u"gt")
            out += QLatin1Char('>');
        else if (name == u"quot")
            out += QLatin1Char('"');
        else if (name == u"apos")
            out += QLatin1Char('\'');
        else if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code =
                name.startsWith(u"#x") ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            const char32_t c32 = code;
            if (ok)
                out += QString::fromUcs4(&c32, 1);
            else
                out += raw.mid(amp, semi - amp + 1);
        } else {
            out += raw.mid(amp, semi - amp + 1);
        }
        i = semi + 1;
    }
}

// Splits a well-formed document into its elements up to the end of the root.
bool tokenise(QStringView doc, QVector<Node>& nodes)
{
    QVector<int> open;
    qsizetype pos = 0;
    bool rootSeen = false;
    while (pos < doc.size()) {
        const qsizetype lt = doc.indexOf(QLatin1Char('<'), pos);
        if (lt < 0)
            return false;
        if (!open.isEmpty())
            appendDecoded(nodes[open.last()].text, doc.mid(pos, lt - pos));
        const QStringView rest = doc.mid(lt);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = doc.indexOf(u"-->", lt + 4);
            if (end < 0)
                return false;
            pos = end + 3;
        } else if (rest.startsWith(u"<![CDATA[")) {
            const qsizetype end = doc.indexOf(u"]]>", lt + 9);
            if (end < 0 || open.isEmpty())
                return false;
            appendNormalised(nodes[open.last()].text, doc.mid(lt + 9, end - lt - 9));
            pos = end + 3;
        } else if (rest.startsWith(u"<?")) {
            const qsizetype end = doc.indexOf(u"?>", lt + 2);
            if (end < 0)
                return false;
            pos = end + 2;
        } else if (rest.startsWith(u"<!")) {
            // A document type declaration, perhaps with an internal subset.
            int depth = 0;
            qsizetype i = lt + 2;
            for (; i < doc.size(); ++i) {
                const QChar c = doc.at(i);
                if (c == u'[')
                    ++depth;
                else if (c == u']')
                    --depth;
                else if (c == u'>' && depth <= 0)
                    break;
            }
            if (i >= doc.size())
                return false;
            pos = i + 1;
        } else if (rest.startsWith(u"</")) {
            const qsizetype end = doc.indexOf(QLatin1Char('>'), lt);
            if (end < 0 || open.isEmpty())
                return false;
            Node& n = nodes[open.takeLast()];
            n.contentEnd = lt;
            n.close = end + 1;
            pos = end + 1;
            if (open.isEmpty())
                return true; // what follows the root is not part of the document
        } else {
            qsizetype i = lt + 1;
            while (i < doc.size() && !isSpace(doc.at(i)) && doc.at(i) != u'/' && doc.at(i) != u'>')
                ++i;
            Node n;
            n.name = doc.mid(lt + 1, i - lt - 1);
            n.open = lt;
            QChar quote;
            for (; i < doc.size(); ++i) {
                const QChar c = doc.at(i);
                if (!quote.isNull()) {
                    if (c == quote)
                        quote = QChar();
                } else if (c == u'"' || c == u'\'') {
                    quote = c;
                } else if (c == u'>') {
                    break;
                }
            }
            if (i >= doc.size() || n.name.isEmpty() || (open.isEmpty() && rootSeen))
                return false;
            rootSeen = true;
            n.selfClosing = doc.at(i - 1) == u'/';
            n.contentBegin = i + 1;
            n.parent = open.isEmpty() ? -1 : open.last();
            if (n.selfClosing) {
                n.contentEnd = n.contentBegin;
                n.close = n.contentBegin;
            }
            const int index = int(nodes.size());
            if (n.parent >= 0) {
                nodes[n.parent].hasChildren = true;
                nodes[n.parent].children.append(index);
            }
            nodes.append(n);
            pos = i + 1;
            if (!n.selfClosing)
                open.append(index);
            else if (open.isEmpty())
                return true;
        }
    }
    return false;
}

QString element(const QString& name, const QString& value)
{
    return QLatin1Char('<') + name + QLatin1Char('>') + cXmlWriter::Escape(value) +
           QLatin1String("</") + name + QLatin1Char('>') + kEol;
}

// Builds the edits for one document.
class Merge
{
public:
    Merge(QStringView doc, const QVector<Node>& nodes, const AudioFileInfo& info)
        : m_doc(doc), m_nodes(nodes), m_info(info),
          // What is added follows the document's line ends.
          m_eol(doc.contains(u"\r\n") || !doc.contains(u'\n') ? kEol : QStringLiteral("\n"))
    {
    }

    QString run()
    {
        const AudioIxmlData& x = m_info.ixml;
        Target root;
        for (const cAudioXmlWriter::Section& s : cAudioXmlWriter::Sections()) {
            const QString container = QLatin1String(s.container);
            if (container.isEmpty()) {
                for (const cAudioXmlWriter::Leaf& l : s.leaves)
                    setLeaf(0, QLatin1String(l.element), x.*(l.member), false, root);
                continue;
            }
            const QVector<int> found = childrenNamed(0, container);
            if (!found.isEmpty()) {
                for (const int c : found) {
                    for (const cAudioXmlWriter::Leaf& l : s.leaves)
                        setLeaf(c, QLatin1String(l.element), x.*(l.member), false, root);
                }
                continue;
            }
            QString added;
            for (const cAudioXmlWriter::Leaf& l : s.leaves) {
                if (!(x.*(l.member)).isEmpty())
                    added += element(QLatin1String(l.element), x.*(l.member));
            }
            if (!added.isEmpty())
                insertInto(0,
                           QLatin1Char('<') + container + QLatin1Char('>') + kEol + added +
                               QLatin1String("</") + container + QLatin1Char('>') + kEol,
                           root);
        }
        mergeTracks(root);
        mergeSyncPoints(root);
        return apply(0, m_doc.size(), root);
    }

private:
    // Edits within one span, and text to add at the end of elements in it.
    struct Target {
        QVector<Edit> edits;
        QMap<int, QString> inserts;
    };

    QVector<int> childrenNamed(int node, const QString& name) const
    {
        QVector<int> out;
        for (const int c : m_nodes.at(node).children) {
            if (m_nodes.at(c).name == name)
                out.append(c);
        }
        return out;
    }

    // The value a reader takes from a leaf: blank text counts as none.
    static QString valueOf(const Node& n)
    {
        for (const QChar c : n.text) {
            if (!c.isSpace())
                return n.text;
        }
        return QString();
    }

    // The start tag of a self-closing element turned into an opening tag.
    QString openingTag(const Node& n) const
    {
        QStringView tag = m_doc.mid(n.open, n.close - n.open);
        tag.chop(1); // '>'
        if (tag.endsWith(u'/'))
            tag.chop(1);
        while (!tag.isEmpty() && isSpace(tag.last()))
            tag.chop(1);
        return tag.toString() + QLatin1Char('>');
    }

    void setLeaf(int parent, const QString& name, const QString& value, bool numeric, Target& t)
    {
        const QVector<int> found = childrenNamed(parent, name);
        if (found.isEmpty()) {
            if (!value.isEmpty())
                insertInto(parent, element(name, value), t);
            return;
        }
        for (const int i : found) {
            const Node& n = m_nodes.at(i);
            if (n.hasChildren)
                continue; // not a text element in this document: left alone
            const QString current = valueOf(n);
            if (current == value || (numeric && current.trimmed() == value))
                continue;
            if (n.selfClosing)
                t.edits.append({n.open, n.close,
                                openingTag(n) + cXmlWriter::Escape(value) + QLatin1String("</") +
                                    name + QLatin1Char('>')});
            else
                t.edits.append({n.contentBegin, n.contentEnd, cXmlWriter::Escape(value)});
        }
    }

    void insertInto(int node, const QString& text, Target& t) { t.inserts[node] += text; }

    static int channelIndexOf(const QVector<Node>& nodes, const Node& track)
    {
        for (const int c : track.children) {
            if (nodes.at(c).name == u"CHANNEL_INDEX") {
                bool ok = false;
                const int v = valueOf(nodes.at(c)).trimmed().toInt(&ok);
                return ok ? v : -1;
            }
        }
        return -1;
    }

    // Gives the k-th of places the rendering of items[k]; surplus places are
    // removed, items without a place are added after the last one (or into the
    // list element when it has none). pick chooses the document element that
    // items[k] is written into (-1: a new one).
    template <typename Item, typename Pick, typename MergeOne, typename Fresh>
    void fillSlots(int list, const QVector<int>& places, const QVector<Item>& items, Pick pick,
                   MergeOne mergeOne, Fresh fresh, Target& t)
    {
        QVector<bool> used(places.size(), false);
        QString extra;
        for (int k = 0; k < items.size(); ++k) {
            const int chosen = pick(k, used);
            QString text;
            if (chosen >= 0) {
                used[chosen] = true;
                const Node& n = m_nodes.at(places.at(chosen));
                Target inner;
                mergeOne(places.at(chosen), items.at(k), inner);
                text = apply(n.open, n.close, inner);
            } else {
                text = fresh(items.at(k));
            }
            if (k < places.size()) {
                const Node& place = m_nodes.at(places.at(k));
                t.edits.append({place.open, place.close, text});
            } else {
                extra += text;
            }
        }
        for (int k = int(items.size()); k < places.size(); ++k) {
            const Node& place = m_nodes.at(places.at(k));
            // The line the element stood on goes with it.
            qsizetype to = place.close;
            while (to < m_doc.size() && (m_doc.at(to) == u' ' || m_doc.at(to) == u'\t'))
                ++to;
            if (to < m_doc.size() && m_doc.at(to) == u'\r')
                ++to;
            if (to < m_doc.size() && m_doc.at(to) == u'\n')
                ++to;
            t.edits.append({place.open, to, QString()});
        }
        if (extra.isEmpty())
            return;
        if (places.isEmpty()) {
            insertInto(list, extra, t);
        } else {
            extra.chop(kEol.size());
            t.edits.append(
                {m_nodes.at(places.last()).close, m_nodes.at(places.last()).close, kEol + extra});
        }
    }

    void mergeTracks(Target& root)
    {
        const AudioIxmlData& x = m_info.ixml;
        if (x.trackCount == 0)
            return; // nothing the writer would say about tracks
        cAudioXmlWriter fragment(&m_info);
        const QVector<int> lists = childrenNamed(0, QStringLiteral("TRACK_LIST"));
        if (lists.isEmpty()) {
            fragment.clearDoc();
            fragment.WriteTrackList();
            insertInto(0, fragment.document(), root);
            return;
        }
        const int list = lists.first();
        setLeaf(list, QStringLiteral("TRACK_COUNT"), QString::number(x.trackCount), true, root);
        const QVector<int> places = childrenNamed(list, QStringLiteral("TRACK"));
        QVector<int> indexOfSlot;
        for (const int s : places)
            indexOfSlot.append(channelIndexOf(m_nodes, m_nodes.at(s)));
        const QVector<AudioChannelInfo>& channels = m_info.channelList;
        auto pick = [&](int k, const QVector<bool>& used) {
            const int want = channels.at(k).channelIndex;
            if (k < places.size() && !used.at(k) && indexOfSlot.at(k) == want)
                return k;
            for (int s = 0; s < places.size(); ++s) {
                if (!used.at(s) && indexOfSlot.at(s) == want)
                    return s;
            }
            return k < places.size() && !used.at(k) ? k : -1;
        };
        auto mergeOne = [&](int node, const AudioChannelInfo& ch, Target& t) {
            setLeaf(node, QStringLiteral("CHANNEL_INDEX"), QString::number(ch.channelIndex), true,
                    t);
            setLeaf(node, QStringLiteral("INTERLEAVE_INDEX"), QString::number(ch.interleaveIndex),
                    true, t);
            setLeaf(node, QStringLiteral("NAME"), ch.name, false, t);
            setLeaf(node, QStringLiteral("FUNCTION"), ch.function, false, t);
        };
        auto fresh = [&](const AudioChannelInfo& ch) {
            fragment.clearDoc();
            fragment.WriteTrack(ch);
            return fragment.document();
        };
        fillSlots(list, places, channels, pick, mergeOne, fresh, root);
    }

    void mergeSyncPoints(Target& root)
    {
        const AudioIxmlData& x = m_info.ixml;
        if (x.syncPointCount == 0)
            return;
        cAudioXmlWriter fragment(&m_info);
        const QVector<int> lists = childrenNamed(0, QStringLiteral("SYNC_POINT_LIST"));
        if (lists.isEmpty()) {
            fragment.clearDoc();
            fragment.WriteSyncPointList();
            insertInto(0, fragment.document(), root);
            return;
        }
        const int list = lists.first();
        setLeaf(list, QStringLiteral("SYNC_POINT_COUNT"), QString::number(x.syncPointCount), true,
                root);
        const QVector<int> places = childrenNamed(list, QStringLiteral("SYNC_POINT"));
        auto pick = [&](int k, const QVector<bool>& used) {
            return k < places.size() && !used.at(k) ? k : -1;
        };
        auto mergeOne = [&](int node, const AudioSyncPoint& sp, Target& t) {
            setLeaf(node, QStringLiteral("SYNC_POINT_TYPE"), sp.type, false, t);
            setLeaf(node, QStringLiteral("SYNC_POINT_FUNCTION"), sp.function, false, t);
            setLeaf(node, QStringLiteral("SYNC_POINT_LOW"), sp.low, false, t);
            setLeaf(node, QStringLiteral("SYNC_POINT_HIGH"), sp.high, false, t);
            setLeaf(node, QStringLiteral("SYNC_POINT_EVENT_DURATION"), sp.eventDuration, false, t);
        };
        auto fresh = [&](const AudioSyncPoint& sp) {
            fragment.clearDoc();
            fragment.WriteSyncPoint(sp);
            return fragment.document();
        };
        fillSlots(list, places, x.syncPoints, pick, mergeOne, fresh, root);
    }

    // Added children go on lines of their own before the end tag of n,
    // indented like its last child, when the document is laid out in lines.
    Edit insertionAtEnd(const Node& n, const QString& text) const
    {
        qsizetype at = n.contentEnd;
        while (at > n.contentBegin && (m_doc.at(at - 1) == u' ' || m_doc.at(at - 1) == u'\t'))
            --at;
        if (at == n.contentBegin || m_doc.at(at - 1) != u'\n')
            return {n.contentEnd, n.contentEnd, text};
        qsizetype from = n.children.isEmpty() ? n.contentEnd : m_nodes.at(n.children.last()).open;
        qsizetype lineStart = from;
        while (lineStart > 0 &&
               (m_doc.at(lineStart - 1) == u' ' || m_doc.at(lineStart - 1) == u'\t'))
            --lineStart;
        const QString indent = m_doc.mid(lineStart, from - lineStart).toString();
        QString out;
        for (const QStringView line : QStringView(text).split(kEol, Qt::SkipEmptyParts))
            out += indent + line.toString() + kEol;
        return {at, at, out};
    }

    // The text of [from, to) with t applied. Added children go before the end
    // tag of their parent; a self-closing parent is opened for them.
    QString apply(qsizetype from, qsizetype to, Target& t) const
    {
        QVector<Edit> edits = t.edits;
        for (auto it = t.inserts.constBegin(); it != t.inserts.constEnd(); ++it) {
            const Node& n = m_nodes.at(it.key());
            if (n.selfClosing)
                edits.append({n.open, n.close,
                              openingTag(n) + kEol + it.value() + QLatin1String("</") +
                                  n.name.toString() + QLatin1Char('>')});
            else
                edits.append(insertionAtEnd(n, it.value()));
        }
        std::stable_sort(edits.begin(), edits.end(),
                         [](const Edit& a, const Edit& b) { return a.from < b.from; });
        QString out;
        out.reserve(to - from + 256);
        qsizetype pos = from;
        for (const Edit& e : edits) {
            if (e.from < pos || e.to > to)
                continue; // inside an element already replaced: cannot happen
            out += m_doc.mid(pos, e.from - pos);
            // Escaped text holds no carriage return: every "\r\n" in an edit
            // is a line end of added elements.
            out += m_eol == kEol ? e.text : QString(e.text).replace(kEol, m_eol);
            pos = e.to;
        }
        out += m_doc.mid(pos, to - pos);
        return out;
    }

    QStringView m_doc;
    const QVector<Node>& m_nodes;
    const AudioFileInfo& m_info;
    const QString m_eol;
};

} // namespace

bool IxmlMerger::merge(const QString& doc, const AudioFileInfo& info, QString& out)
{
    QVector<Node> nodes;
    nodes.reserve(128);
    if (!tokenise(doc, nodes) || nodes.isEmpty() || nodes.first().name != u"BWFXML")
        return false;
    out = Merge(doc, nodes, info).run();
    return true;
}

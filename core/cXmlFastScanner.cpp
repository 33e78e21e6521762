#include "cXmlFastScanner.h"

namespace
{

bool isSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Prefixed names (with ':') are left to the full reader, whose rules for them
// hold even without namespace processing.
bool isNameStart(char16_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// The characters after the first of a name (ASCII only, like isNameStart),
// as a table: names are most of a document.
struct NameChars {
    bool of[128];
    constexpr NameChars() : of()
    {
        for (int c = 0; c < 128; ++c)
            of[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
                    (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
};
constexpr NameChars kNameChars;

// The decoded form of a text that is one line end: handed out without a copy.
constexpr char16_t kLineEnd[] = u"\n";

// Characters the fast path leaves to the full reader: controls XML forbids,
// surrogates (pairs included, for simplicity) and the two non-characters.
bool needsFullReader(char16_t c)
{
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c >= 0xD800 && c <= 0xDFFF) ||
           c == 0xFFFE || c == 0xFFFF;
}

bool isXmlChar(char32_t v)
{
    return v == 0x9 || v == 0xA || v == 0xD || (v >= 0x20 && v <= 0xD7FF) ||
           (v >= 0xE000 && v <= 0xFFFD) || (v >= 0x10000 && v <= 0x10FFFF);
}

// Decodes the reference starting at ref[0] == '&'; len receives its length.
bool decodeReference(QStringView ref, QString& out, qsizetype& len)
{
    const qsizetype semi = ref.left(12).indexOf(QLatin1Char(';'));
    if (semi < 2)
        return false;
    const QStringView name = ref.mid(1, semi - 1);
    len = semi + 1;
    if (name == QLatin1String("amp"))
        out.append(QLatin1Char('&'));
    else if (name == QLatin1String("lt"))
        out.append(QLatin1Char('<'));
    else if (name == QLatin1String("gt"))
        out.append(QLatin1Char('>'));
    else if (name == QLatin1String("quot"))
        out.append(QLatin1Char('"'));
    else if (name == QLatin1String("apos"))
        out.append(QLatin1Char('\''));
    else if (name.startsWith(QLatin1Char('#'))) {
        const bool hex = name.size() > 1 && name.at(1) == QLatin1Char('x');
        const QStringView digits = name.mid(hex ? 2 : 1);
        if (digits.isEmpty())
            return false;
        // At most 9 characters: the value fits in 36 bits, no overflow.
        quint64 v = 0;
        for (QChar d : digits) {
            const char16_t c = d.unicode();
            uint digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            v = v * (hex ? 16 : 10) + digit;
        }
        if (v > 0x10FFFF || !isXmlChar(char32_t(v)))
            return false;
        if (v < 0x10000) {
            out.append(QChar(char16_t(v)));
        } else {
            const char32_t u = char32_t(v);
            out.append(QString::fromUcs4(&u, 1));
        }
    } else {
        return false;
    }
    return true;
}

} // namespace

void cXmlFastScanner::skipSpace()
{
    const char16_t* d = m_doc.utf16();
    const qsizetype size = m_doc.size();
    while (m_pos < size && isSpace(d[m_pos]))
        ++m_pos;
}

bool cXmlFastScanner::scanName(QStringView& name)
{
    const char16_t* d = m_doc.utf16();
    const qsizetype size = m_doc.size();
    const qsizetype start = m_pos;
    if (m_pos >= size || !isNameStart(d[m_pos]))
        return false;
    ++m_pos;
    while (m_pos < size && d[m_pos] < 128 && kNameChars.of[d[m_pos]])
        ++m_pos;
    name = m_doc.mid(start, m_pos - start);
    return true;
}

bool cXmlFastScanner::scanComment()
{
    const qsizetype end = m_doc.indexOf(QLatin1String("--"), m_pos + 4);
    if (end < 0 || end + 2 >= m_doc.size() || m_doc.at(end + 2) != QLatin1Char('>'))
        return false;
    for (qsizetype i = m_pos + 4; i < end; ++i) {
        if (needsFullReader(m_doc.at(i).unicode()))
            return false;
    }
    m_pos = end + 3;
    return true;
}

bool cXmlFastScanner::scanText()
{
    // One pass up to the next '<': most characters are printable and need
    // no second look.
    const char16_t* d = m_doc.utf16();
    const qsizetype size = m_doc.size();
    bool plain = true;
    qsizetype end = m_pos;
    for (; end < size; ++end) {
        const char16_t c = d[end];
        if (c == '<')
            break;
        if (c >= 0x20 && c < 0xD800 && c != '&' && c != ']')
            continue;
        if (needsFullReader(c))
            return false;
        if (c == '&' || c == '\r')
            plain = false;
        else if (c == ']' && m_doc.mid(end, 3) == QLatin1String("]]>"))
            return false;
    }
    if (end == size)
        return false; // the root never closes
    if (plain) {
        if (end > m_pos && m_sink)
            m_sink->text(m_doc.mid(m_pos, end - m_pos));
    } else if ((end - m_pos == 2 && d[m_pos] == '\r' && d[m_pos + 1] == '\n') ||
               (end - m_pos == 1 && d[m_pos] == '\r')) {
        // The line end between two tags of a document written with CRLF.
        if (m_sink)
            m_sink->text(QStringView(kLineEnd, 1));
    } else {
        // Line ends become "\n" as in any XML reader; references are resolved.
        // Decoded texts are appended to one buffer with room for the rest of
        // the document (decoding never lengthens a text), so it never moves
        // and the views handed out stay valid.
        if (m_decodedArena.capacity() - m_decodedArena.size() < end - m_pos) {
            if (!m_decodedArena.isEmpty())
                m_decoded.append(m_decodedArena);
            m_decodedArena = QString();
            m_decodedArena.reserve(m_doc.size() - m_pos);
        }
        QString& out = m_decodedArena;
        const qsizetype from = out.size();
        qsizetype run = m_pos; // start of the characters copied as they are
        for (qsizetype i = m_pos; i < end;) {
            const QChar c = m_doc.at(i);
            if (c != QLatin1Char('\r') && c != QLatin1Char('&')) {
                ++i;
                continue;
            }
            out.append(m_doc.mid(run, i - run));
            if (c == QLatin1Char('\r')) {
                out.append(QLatin1Char('\n'));
                i += (i + 1 < end && m_doc.at(i + 1) == QLatin1Char('\n')) ? 2 : 1;
            } else {
                qsizetype len = 0;
                if (!decodeReference(m_doc.mid(i, end - i), out, len))
                    return false;
                i += len;
            }
            run = i;
        }
        out.append(m_doc.mid(run, end - run));
        if (m_sink)
            m_sink->text(QStringView(out).mid(from));
    }
    m_pos = end;
    return true;
}

bool cXmlFastScanner::scanStartTag()
{
    ++m_pos; // '<'
    QStringView name;
    if (!scanName(name))
        return false;
    m_attributes.clear();
    for (;;) {
        const qsizetype before = m_pos;
        skipSpace();
        if (m_pos >= m_doc.size())
            return false;
        const QChar c = m_doc.at(m_pos);
        if (c == QLatin1Char('>') || c == QLatin1Char('/')) {
            const bool empty = c == QLatin1Char('/');
            if (empty && (m_pos + 1 >= m_doc.size() || m_doc.at(m_pos + 1) != QLatin1Char('>')))
                return false;
            m_pos += empty ? 2 : 1;
            if (m_sink)
                m_sink->start(name, m_attributes.constData(), int(m_attributes.size()));
            if (!empty)
                m_open.append(name);
            else if (m_sink)
                m_sink->end(name);
            return true;
        }
        if (m_pos == before) // attributes are separated by white space
            return false;
        Attribute a;
        if (!scanName(a.name))
            return false;
        skipSpace();
        if (m_pos >= m_doc.size() || m_doc.at(m_pos) != QLatin1Char('='))
            return false;
        ++m_pos;
        skipSpace();
        if (m_pos >= m_doc.size())
            return false;
        const QChar quote = m_doc.at(m_pos);
        if (quote != QLatin1Char('"') && quote != QLatin1Char('\''))
            return false;
        const qsizetype close = m_doc.indexOf(quote, m_pos + 1);
        if (close < 0)
            return false;
        a.value = m_doc.mid(m_pos + 1, close - m_pos - 1);
        for (QChar v : a.value) {
            // References and white-space normalisation are the full reader's.
            const char16_t u = v.unicode();
            if (u == '<' || u == '&' || u < 0x20 || needsFullReader(u))
                return false;
        }
        for (const Attribute& earlier : m_attributes) {
            if (earlier.name == a.name)
                return false;
        }
        m_attributes.append(a);
        m_pos = close + 1;
    }
}

bool cXmlFastScanner::scanEndTag()
{
    m_pos += 2; // "</"
    // Only the name of the innermost open element can stand here: compared
    // as it is; a longer name fails below, where only blanks and '>' may follow.
    if (m_open.isEmpty())
        return false;
    const QStringView name = m_open.last();
    if (m_doc.mid(m_pos, name.size()) != name)
        return false;
    m_pos += name.size();
    skipSpace();
    if (m_pos >= m_doc.size() || m_doc.at(m_pos) != QLatin1Char('>'))
        return false;
    ++m_pos;
    m_open.removeLast();
    if (m_sink)
        m_sink->end(name);
    return true;
}

bool cXmlFastScanner::scan(QStringView doc, Sink* sink)
{
    m_doc = doc;
    m_pos = 0;
    m_sink = sink;
    m_open.clear();
    m_attributes.clear();
    m_decoded.clear();
    m_decodedArena.clear();

    // An XML declaration is taken only in its plain forms.
    if (doc.startsWith(QLatin1String("<?"))) {
        const qsizetype end = doc.indexOf(QLatin1String("?>"));
        if (end < 0)
            return false;
        QString decl = doc.mid(2, end - 2).toString().simplified();
        decl.replace(QLatin1Char('\''), QLatin1Char('"'));
        static const char* const accepted[] = {
            "xml version=\"1.0\"",
            "xml version=\"1.0\" encoding=\"UTF-8\"",
            "xml version=\"1.0\" encoding=\"utf-8\"",
            "xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"",
            "xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"",
            "xml version=\"1.0\" standalone=\"yes\"",
        };
        bool known = false;
        for (const char* a : accepted)
            known = known || decl == QLatin1String(a);
        if (!known)
            return false;
        m_pos = end + 2;
    }
    // Before the root: white space and comments only.
    for (;;) {
        skipSpace();
        if (m_doc.mid(m_pos, 4) == QLatin1String("<!--")) {
            if (!scanComment())
                return false;
            continue;
        }
        if (m_pos + 1 < m_doc.size() && m_doc.at(m_pos) == QLatin1Char('<') &&
            isNameStart(m_doc.at(m_pos + 1).unicode()))
            break;
        return false;
    }
    while (m_pos < m_doc.size()) {
        if (m_doc.at(m_pos) != QLatin1Char('<')) {
            if (!scanText())
                return false;
            continue;
        }
        const QChar next = m_pos + 1 < m_doc.size() ? m_doc.at(m_pos + 1) : QChar();
        bool ok;
        if (next == QLatin1Char('/'))
            ok = scanEndTag();
        else if (next == QLatin1Char('!'))
            ok = m_doc.mid(m_pos, 4) == QLatin1String("<!--") && scanComment();
        else if (next == QLatin1Char('?'))
            ok = false;
        else
            ok = scanStartTag();
        if (!ok)
            return false;
        if (m_open.isEmpty())
            return true; // the root element has closed
    }
    return false;
}

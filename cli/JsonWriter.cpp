#include "JsonWriter.h"

namespace
{

// Appends text as a quoted JSON string in UTF-8.
void appendString(std::string& out, const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    while (p < end) {
        // Plain ASCII is copied a run at a time.
        const QChar* run = p;
        while (p < end && p->unicode() >= 0x20 && p->unicode() < 0x80 && p->unicode() != '"' &&
               p->unicode() != '\\')
            ++p;
        if (p > run) {
            const size_t at = out.size();
            out.resize(at + size_t(p - run));
            char* d = &out[at];
            for (const QChar* q = run; q < p; ++q)
                *d++ = char(q->unicode());
        }
        if (p == end)
            break;
        const char16_t c = p->unicode();
        if (c >= 0x80) {
            // A run of non-ASCII text goes through the UTF-8 encoder at once.
            run = p;
            while (p < end && p->unicode() >= 0x80)
                ++p;
            const QByteArray utf8 = QStringView(run, p - run).toUtf8();
            out.append(utf8.constData(), size_t(utf8.size()));
            continue;
        }
        ++p;
        switch (c) {
        case '"':
            out.append("\\\"", 2);
            break;
        case '\\':
            out.append("\\\\", 2);
            break;
        case '\n':
            out.append("\\n", 2);
            break;
        case '\r':
            out.append("\\r", 2);
            break;
        case '\t':
            out.append("\\t", 2);
            break;
        default: {
            const char esc[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.append(esc, 6);
        }
        }
    }
    out += '"';
}

} // namespace

JsonKeys::JsonKeys(const QStringList& names)
{
    m_text.reserve(size_t(names.size()));
    for (const QString& name : names) {
        std::string k;
        appendString(k, name);
        k.append(": ");
        m_text.push_back(std::move(k));
    }
}

void JsonWriter::indent(bool comma)
{
    // The comma, the line break and up to 15 levels of indent, appended as one piece.
    static const std::string breaks = ",\n" + std::string(60, ' ');
    const size_t spaces = size_t(m_base + int(m_empty.size())) * 4;
    if (spaces + 2 <= breaks.size()) {
        m_out.append(breaks, comma ? 0 : 1, spaces + (comma ? 2 : 1));
    } else {
        m_out.append(comma ? ",\n" : "\n");
        m_out.append(spaces, ' ');
    }
}

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_empty.empty())
        return;
    const bool first = m_empty.back();
    m_empty.back() = false;
    indent(!first);
}

void JsonWriter::open(char c)
{
    separate();
    m_out += c;
    m_empty.push_back(true);
}

void JsonWriter::close(char c)
{
    const bool empty = m_empty.back();
    m_empty.pop_back();
    if (!empty)
        indent(false);
    m_out += c;
    if (m_empty.empty() && m_base == 0)
        m_out += '\n';
}

void JsonWriter::key(const char* name)
{
    separate();
    m_out += '"';
    m_out.append(name);
    m_out.append("\": ");
    m_afterKey = true;
}

void JsonWriter::key(const QString& name)
{
    separate();
    string(name);
    m_out.append(": ");
    m_afterKey = true;
}

void JsonWriter::key(const JsonKeys& keys, int i)
{
    separate();
    m_out.append(keys.text(i));
    m_afterKey = true;
}

void JsonWriter::value(const QString& text)
{
    separate();
    string(text);
}

void JsonWriter::value(const char* ascii)
{
    separate();
    m_out += '"';
    m_out.append(ascii);
    m_out += '"';
}

void JsonWriter::value(bool b)
{
    separate();
    m_out.append(b ? "true" : "false");
}

void JsonWriter::nullValue()
{
    separate();
    m_out.append("null");
}

void JsonWriter::value(quint64 n)
{
    separate();
    m_out += std::to_string(n);
}

void JsonWriter::string(const QString& text)
{
    appendString(m_out, text);
}

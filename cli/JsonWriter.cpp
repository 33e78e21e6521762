#include "JsonWriter.h"

void JsonWriter::indent()
{
    static const QByteArray spaces(256, ' ');
    m_out.append('\n');
    int n = int(m_base + m_empty.size()) * 4;
    for (; n > spaces.size(); n -= int(spaces.size()))
        m_out.append(spaces);
    m_out.append(spaces.constData(), n);
}

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_empty.isEmpty())
        return;
    if (!m_empty.last())
        m_out.append(',');
    m_empty.last() = false;
    indent();
}

void JsonWriter::open(char c)
{
    separate();
    m_out.append(c);
    m_empty.append(true);
}

void JsonWriter::close(char c)
{
    const bool empty = m_empty.takeLast();
    if (!empty)
        indent();
    m_out.append(c);
    if (m_empty.isEmpty() && m_base == 0)
        m_out.append('\n');
}

void JsonWriter::key(const char* name)
{
    separate();
    m_out.append('"');
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

void JsonWriter::value(const QString& text)
{
    separate();
    string(text);
}

void JsonWriter::value(const char* ascii)
{
    separate();
    m_out.append('"');
    m_out.append(ascii);
    m_out.append('"');
}

void JsonWriter::value(bool b)
{
    separate();
    m_out.append(b ? "true" : "false");
}

void JsonWriter::value(quint64 n)
{
    separate();
    m_out.append(QByteArray::number(n));
}

void JsonWriter::string(const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    m_out.append('"');
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    while (p < end) {
        const char16_t c = p->unicode();
        if (c >= 0x80) {
            // A run of non-ASCII text goes through the UTF-8 encoder at once.
            const QChar* run = p;
            while (p < end && p->unicode() >= 0x80)
                ++p;
            m_out.append(QStringView(run, p - run).toUtf8());
            continue;
        }
        ++p;
        if (c >= 0x20 && c != '"' && c != '\\') {
            m_out.append(char(c));
            continue;
        }
        switch (c) {
        case '"': m_out.append("\\\""); break;
        case '\\': m_out.append("\\\\"); break;
        case '\n': m_out.append("\\n"); break;
        case '\r': m_out.append("\\r"); break;
        case '\t': m_out.append("\\t"); break;
        default:
            m_out.append("\\u00");
            m_out.append(hex[c >> 4]);
            m_out.append(hex[c & 15]);
        }
    }
    m_out.append('"');
}

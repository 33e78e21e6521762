#include "JsonWriter.h"

void JsonWriter::indent()
{
    m_out += '\n';
    m_out.append(size_t(m_base + m_empty.size()) * 4, ' ');
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
        m_out += ',';
    m_empty.last() = false;
    indent();
}

void JsonWriter::open(char c)
{
    separate();
    m_out += c;
    m_empty.append(true);
}

void JsonWriter::close(char c)
{
    const bool empty = m_empty.takeLast();
    if (!empty)
        indent();
    m_out += c;
    if (m_empty.isEmpty() && m_base == 0)
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
    static const char hex[] = "0123456789abcdef";
    // Plain ASCII is gathered in a local buffer: appending byte by byte to the
    // output costs more than the rest of the writer together.
    char buf[256];
    int n = 0;
    auto flush = [&]() {
        m_out.append(buf, size_t(n));
        n = 0;
    };
    buf[n++] = '"';
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    while (p < end) {
        const char16_t c = p->unicode();
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            buf[n++] = char(c);
            ++p;
            if (n == int(sizeof(buf)))
                flush();
            continue;
        }
        flush();
        if (c >= 0x80) {
            // A run of non-ASCII text goes through the UTF-8 encoder at once.
            const QChar* run = p;
            while (p < end && p->unicode() >= 0x80)
                ++p;
            const QByteArray utf8 = QStringView(run, p - run).toUtf8();
            m_out.append(utf8.constData(), size_t(utf8.size()));
            continue;
        }
        ++p;
        switch (c) {
        case '"': m_out.append("\\\"", 2); break;
        case '\\': m_out.append("\\\\", 2); break;
        case '\n': m_out.append("\\n", 2); break;
        case '\r': m_out.append("\\r", 2); break;
        case '\t': m_out.append("\\t", 2); break;
        default: {
            const char esc[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            m_out.append(esc, 6);
        }
        }
    }
    buf[n++] = '"';
    flush();
}

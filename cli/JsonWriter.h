#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// A list of keys encoded once, for the keys written again for every take.
class JsonKeys
{
public:
    explicit JsonKeys(const QStringList& names);
    int size() const { return int(m_text.size()); }
    // The key as written: quoted, escaped, with its ": ".
    const std::string& text(int i) const { return m_text[size_t(i)]; }

private:
    std::vector<std::string> m_text;
};

// Streaming JSON text writer, indented by four spaces. Much cheaper than
// building QJsonObject trees when thousands of takes are printed. The caller
// keeps the nesting right; keys are written in the order given. The caller
// may write out and clear the text between values: the writer only appends.
class JsonWriter
{
public:
    // baseDepth: nesting of the first value written, for text that another
    // writer's output will contain (one element of an array written elsewhere).
    explicit JsonWriter(std::string& out, int baseDepth = 0) : m_out(out), m_base(baseDepth) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    void key(const char* name); // ASCII key
    void key(const QString& name);
    void key(const JsonKeys& keys, int i);

    void value(const QString& text);
    void value(const char* ascii);
    void value(bool b);
    void value(quint64 n);
    void value(int n) { value(quint64(n < 0 ? 0 : n)); }
    void nullValue();

    template <typename T> void field(const char* name, const T& v)
    {
        key(name);
        value(v);
    }

private:
    void open(char c);
    void close(char c);
    void separate(); // comma and line break before an array element or a key
    void indent(bool comma); // line break and indent, after a comma when comma
    void string(const QString& text);

    std::string& m_out; // std::string: byte appends inline, unlike QByteArray
    std::vector<bool> m_empty; // per open container: nothing written in it yet
    bool m_afterKey = false;
    int m_base = 0;
};

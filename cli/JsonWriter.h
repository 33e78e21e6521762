#pragma once

#include <QString>
#include <QVector>

#include <string>

// Streaming JSON text writer, indented by four spaces. Much cheaper than
// building QJsonObject trees when thousands of takes are printed. The caller
// keeps the nesting right; keys are written in the order given.
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
    void indent();
    void string(const QString& text);

    std::string& m_out; // std::string: byte appends inline, unlike QByteArray
    QVector<bool> m_empty; // per open container: nothing written in it yet
    bool m_afterKey = false;
    int m_base = 0;
};

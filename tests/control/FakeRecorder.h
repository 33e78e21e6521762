#pragma once

#include "LinkFrame.h"
#include "cMemoryPort.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

// Builds link packets for tests and answers requests written to a cMemoryPort
// with canned replies chosen by command code.
namespace FakeRecorder
{

// A packet from sync to payload; byte 2 is set and the check bytes appended.
inline QByteArray packet(uchar address, const QByteArray& afterLength)
{
    QByteArray p;
    p.append(char(LinkFrame::kSync));
    p.append(char(address));
    p.append(char(afterLength.size() + 2));
    p.append(afterLength);
    p.append(2, '\0');
    LinkFrame::addCheckBytes(reinterpret_cast<uchar*>(p.data()));
    return p;
}
// A reply (address 0xFE) with the given bytes from offset 3.
inline QByteArray reply(const QByteArray& body)
{
    return packet(LinkFrame::kHostAddress, body);
}
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}
inline QByteArray fixedAck()
{
    return reply(bytes({0xF0}));
}
inline QByteArray statusAck(int status, const QByteArray& text = QByteArray(), bool nul = true)
{
    QByteArray body = bytes({0xF0, status});
    if (!text.isEmpty()) {
        body.append(text);
        if (nul)
            body.append('\0');
    }
    return reply(body);
}
inline QByteArray dataReply(int command, const QByteArray& payload)
{
    return reply(bytes({command}) + payload);
}
inline QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    LinkFrame::put32(reinterpret_cast<uchar*>(b.data()), v);
    return b;
}

// Answers by the command byte (offset 3) of each written request; requests
// with no canned reply get nothing (a time-out). Each request is recorded
// with a stamp from the test, for example the worker's tick count.
class Responder
{
public:
    using Rule = std::function<QByteArray(const QByteArray& request)>;
    struct Entry {
        quint32 stamp;
        QByteArray request;
    };

    void on(int command, const QByteArray& reply)
    {
        m_rules[command] = [reply](const QByteArray&) { return reply; };
    }
    void on(int command, Rule rule) { m_rules[command] = std::move(rule); }
    void remove(int command) { m_rules.remove(command); }
    void attach(cMemoryPort& port)
    {
        port.setResponder([this](const QByteArray& w) { return answer(w); });
    }
    void setStamp(std::function<quint32()> stamp) { m_stamp = std::move(stamp); }
    // Stamps of the requests with a command (and, for UserGet, a parameter id).
    QList<quint32> stamps(int command, int userParam = -1) const
    {
        QList<quint32> out;
        for (const Entry& e : m_entries)
            if (uchar(e.request[3]) == command &&
                (userParam < 0 || (uchar(e.request[4]) | (uchar(e.request[5]) << 8)) == userParam))
                out.append(e.stamp);
        return out;
    }

private:
    QByteArray answer(const QByteArray& written)
    {
        if (written.size() < 4 || uchar(written[0]) != LinkFrame::kSync)
            return QByteArray();
        m_entries.append(Entry{m_stamp ? m_stamp() : 0u, written});
        const auto it = m_rules.constFind(uchar(written[3]));
        return it == m_rules.constEnd() ? QByteArray() : (*it)(written);
    }

    QHash<int, Rule> m_rules;
    QList<Entry> m_entries;
    std::function<quint32()> m_stamp;
};

} // namespace FakeRecorder

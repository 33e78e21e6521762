#pragma once

#include "LinkFrame.h"

#include <QByteArray>

// Builds link packets for tests.
namespace FakeRecorder
{

// A packet from sync to payload; byte 2 is set and the check bytes appended.
inline QByteArray packet(uchar address, const QByteArray& afterLength)
{
    QByteArray p;
    p.append(char(LinkFrame::kSync)).append(char(address)).append(char(afterLength.size() + 2));
    p.append(afterLength).append(2, '\0');
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

} // namespace FakeRecorder

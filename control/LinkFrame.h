#pragma once

#include <QtGlobal>

// Packet framing of the recorder link as plain functions over byte buffers, so
// every rule can be checked without a port.
//
// Packet: [0] sync 0xA5, [1] address, [2] L = bytes after this one (check bytes
// included), [3] command / first data byte / reply code, [4 .. L] payload,
// [L + 1] check byte 0, [L + 2] check byte 1. A packet is L + 3 bytes, at most
// kMaxPacket. Multi-byte payload numbers are little-endian.
namespace LinkFrame
{

constexpr uchar kSync = 0xA5;
constexpr uchar kHostAddress = 0xFE;
constexpr uchar kAckCode = 0xF0;
constexpr int kHeaderSize = 3;                  // sync, address, L
constexpr int kMaxPacket = 255 + kHeaderSize;   // L is one byte
constexpr int kMaxPayload = kMaxPacket - 4 - 2; // after the reply code, before check bytes

// Running Fletcher sums modulo 255.
struct Fletcher {
    quint16 a = 0;
    quint16 b = 0;
    void add(uchar v)
    {
        a = quint16(a + v);
        if (a >= 255)
            a = quint16(a - 255);
        b = quint16(b + a);
        if (b >= 255)
            b = quint16(b - 255);
    }
    void clear() { a = b = 0; }
};

// Value with which the address byte enters the sums when check bytes are made:
// 0xFE counts as itself, every other address as 0.
inline uchar addressWeight(uchar address)
{
    return address == kHostAddress ? kHostAddress : 0;
}

// Computes the two check bytes over packet[0 .. L] with L taken from packet[2].
// packet must hold at least L + 1 bytes.
void checkBytes(const uchar* packet, uchar* check0, uchar* check1);

// Writes the check bytes at packet[L + 1] and packet[L + 2]; packet must hold
// L + 3 bytes (at most kMaxPacket).
void addCheckBytes(uchar* packet);

// Verifies a received packet over packet[0 .. L + 2], L read from packet[2]
// as unsigned; the address byte counts with its value. Returns true when both
// sums end at zero. packet must hold L + 3 bytes.
bool verify(const uchar* packet);

inline quint16 get16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}
inline quint32 get32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
inline void put16(uchar* p, quint16 v)
{
    p[0] = uchar(v);
    p[1] = uchar(v >> 8);
}
inline void put32(uchar* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(v >> (8 * i));
}

} // namespace LinkFrame

#include "SimFrame.h"

#include <algorithm>

namespace SimFrame
{

namespace
{
void sums(const uint8_t* p, size_t count, unsigned& a, unsigned& b)
{
    a = b = 0;
    for (size_t i = 0; i < count; ++i) {
        // The address byte counts as 0xFE when it is 0xFE and as 0 otherwise.
        unsigned v = p[i];
        if (i == 1)
            v = v == kHost ? kHost : 0;
        a = (a + v) % 255;
        b = (b + a) % 255;
    }
}
} // namespace

void seal(Bytes& packet)
{
    const size_t body = packet.size() - 2;
    unsigned a, b;
    sums(packet.data(), body, a, b);
    const unsigned c0 = 255 - ((a + b) % 255);
    const unsigned c1 = 255 - ((a + c0) % 255);
    packet[body] = uint8_t(c0);
    packet[body + 1] = uint8_t(c1);
}

bool checkBytesValid(const uint8_t* packet, size_t size)
{
    if (size < 5)
        return false;
    unsigned a, b;
    sums(packet, size - 2, a, b);
    const unsigned c0 = 255 - ((a + b) % 255);
    const unsigned c1 = 255 - ((a + c0) % 255);
    return packet[size - 2] == c0 && packet[size - 1] == c1;
}

Bytes reply(const Bytes& body)
{
    Bytes p;
    p.reserve(body.size() + 5);
    p.push_back(kSync);
    p.push_back(kHost);
    p.push_back(uint8_t(body.size() + 2));
    p.insert(p.end(), body.begin(), body.end());
    p.push_back(0);
    p.push_back(0);
    seal(p);
    return p;
}

Bytes fixedAck()
{
    return reply({kAck});
}

Bytes statusAck(uint8_t status, const std::string& text)
{
    Bytes body{kAck, status};
    if (!text.empty()) {
        // Keep the packet within one length byte.
        const size_t room = 255 - 2 - 2 - 1;
        body.insert(body.end(), text.begin(), text.begin() + long(std::min(text.size(), room)));
        body.push_back(0);
    }
    return reply(body);
}

void Parser::feed(const uint8_t* data, size_t size)
{
    m_buffer.insert(m_buffer.end(), data, data + size);
}

bool Parser::next(Request* out)
{
    for (;;) {
        const auto sync = std::find(m_buffer.begin(), m_buffer.end(), kSync);
        m_skipped += uint64_t(sync - m_buffer.begin());
        m_buffer.erase(m_buffer.begin(), sync);
        if (m_buffer.size() < 3)
            return false;
        const size_t length = m_buffer[2];
        if (length < 3) {
            // Too short to hold a command and check bytes: not a packet.
            ++m_bad;
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        const size_t total = length + 3;
        if (m_buffer.size() < total)
            return false;
        if (!checkBytesValid(m_buffer.data(), total)) {
            ++m_bad;
            m_buffer.erase(m_buffer.begin());
            continue;
        }
        out->address = m_buffer[1];
        out->command = m_buffer[3];
        out->payload.assign(m_buffer.begin() + 4, m_buffer.begin() + long(total - 2));
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + long(total));
        return true;
    }
}

void Parser::dropStalePartial()
{
    if (!m_buffer.empty()) {
        ++m_bad;
        m_buffer.erase(m_buffer.begin());
    }
}

} // namespace SimFrame

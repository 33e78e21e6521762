#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Packet framing of the recorder side of the link, written independently of
// the application's link layer so the two check each other.
namespace SimFrame
{

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSync = 0xA5;
constexpr uint8_t kHost = 0xFE;
constexpr uint8_t kAck = 0xF0;

// Fills the two check bytes at the end of a packet whose byte 2 is already
// its length byte (the packet is exactly L + 3 bytes).
void seal(Bytes& packet);
// True when the last two bytes are the right check bytes for the rest.
bool checkBytesValid(const uint8_t* packet, size_t size);

// A reply with the given bytes after the header (byte 3 onward, without
// check bytes): A5 FE L <body> c0 c1.
Bytes reply(const Bytes& body);
// Fixed 6-byte acknowledgement: A5 FE 03 F0 c0 c1.
Bytes fixedAck();
// Variable acknowledgement with a status byte and, when not empty, a
// NUL-terminated text.
Bytes statusAck(uint8_t status, const std::string& text = std::string());

struct Request {
    uint8_t address = 0;
    uint8_t command = 0;
    Bytes payload; // bytes after the command, before the check bytes
};

// Splits an incoming byte stream into requests. Bytes before a sync byte
// (the break, the baud-rate preamble, noise) are skipped; a candidate packet
// with wrong check bytes loses its sync byte and the search goes on.
class Parser
{
public:
    void feed(const uint8_t* data, size_t size);
    // Next complete, valid request; false when none is complete yet.
    bool next(Request* out);
    // Drops the first byte of a packet that has waited too long to complete,
    // so a stray sync byte cannot swallow the requests behind it.
    void dropStalePartial();
    bool hasPartial() const { return !m_buffer.empty(); }
    uint64_t skippedBytes() const { return m_skipped; }
    uint64_t badPackets() const { return m_bad; }

private:
    Bytes m_buffer;
    uint64_t m_skipped = 0;
    uint64_t m_bad = 0;
};

} // namespace SimFrame

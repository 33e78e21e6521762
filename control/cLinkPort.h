#pragma once

#include <QString>

// Byte I/O of the recorder link: a serial line that can be opened in 8N1 raw
// mode, switched between baud rates, put into the break condition, written and
// read with a deadline. Not thread-safe: the link layer above serialises all
// use (the control-mode worker's mutex).
//
// Reading is two-step: waitForBytes() blocks (without spinning) until `count`
// bytes are buffered, then read() takes them. Nothing is consumed by waiting.
class cLinkPort
{
public:
    enum class Wait { Ready, TimedOut, Error };

    // The most bytes waitForBytes() can be asked for.
    static constexpr int kMaxWait = 512;

    virtual ~cLinkPort() = default;

    virtual QString portName() const = 0;
    // Opens read/write at the current baud rate (9600 until changed), 8 data
    // bits, no parity, 1 stop bit, no flow control. False with errorString().
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Bits per second; false for a rate the port cannot run. On a closed port
    // the rate is remembered for the next open().
    virtual bool setBaudRate(int baud) = 0;
    virtual int baudRate() const = 0;
    // Holds the line in the space condition while on is true.
    virtual bool setBreak(bool on) = 0;
    // Writes all `count` bytes or fails; never blocks longer than about a
    // second when the line does not drain.
    virtual bool write(const uchar* data, int count) = 0;
    // Waits up to timeoutMs for `count` bytes (1 .. kMaxWait) to be available.
    virtual Wait waitForBytes(int count, int timeoutMs) = 0;
    // Takes up to `count` available bytes; returns how many, or -1 on error.
    virtual int read(uchar* data, int count) = 0;
    // Drops every byte received and not yet read.
    virtual void discardInput() = 0;
    // Drops pending input and output.
    virtual void flush() = 0;
    // Text of the last failure, for messages.
    virtual QString errorString() const = 0;
};

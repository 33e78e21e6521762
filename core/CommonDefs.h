#pragma once

#include <QtGlobal>

// Byte-stream abstraction shared by the file layer. Offsets are absolute file
// positions in bytes; counts are bytes. Results follow QIODevice: a negative
// count is an error, fewer bytes than asked means end of file.
namespace CommonDefs {

class cStream
{
public:
    virtual ~cStream() = default;
    virtual bool Open(int mode) = 0;
    virtual void Close() = 0;
    virtual qint64 Read(void* buffer, qint64 count) = 0;
    virtual qint64 Write(const void* buffer, qint64 count) = 0;
    // fromStart true: seek to offset; false: seek to current position + offset.
    virtual bool Seek(quint64 offset, bool fromStart) = 0;
    virtual quint64 GetPos() = 0;
    virtual void SetName(char*) {}
};

// Padding character for zero-filled numbers.
constexpr char gZeroCh = '0';
// Prefix of every identifier this system makes.
inline constexpr const char* gKQPrefStr = "USQRX";
// Time format inside identifiers.
inline constexpr const char* gUidTmFormat = "HHmmss";

} // namespace CommonDefs

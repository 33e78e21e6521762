#pragma once

#include "cLinkPort.h"

// cLinkPort over a POSIX terminal device (a USB serial adapter or a
// pseudo-terminal). The name may be a device name ("ttyUSB0", looked up in
// /dev) or a path ("/dev/pts/3"). The descriptor is non-blocking; waiting is
// done with poll(), so a pending reply costs no processor time.
//
// Owned by one cLinkSerial; not thread-safe.
class cTermiosPort : public cLinkPort
{
public:
    explicit cTermiosPort(const QString& name);
    ~cTermiosPort() override;
    cTermiosPort(const cTermiosPort&) = delete;
    cTermiosPort& operator=(const cTermiosPort&) = delete;

    // The path opened for a port name.
    static QString devicePath(const QString& name);

    QString portName() const override { return m_name; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool setBaudRate(int baud) override;
    int baudRate() const override { return m_baud; }
    bool setBreak(bool on) override;
    bool write(const uchar* data, int count) override;
    Wait waitForBytes(int count, int timeoutMs) override;
    int read(uchar* data, int count) override;
    void discardInput() override;
    void flush() override;
    QString errorString() const override { return m_error; }

private:
    bool applySettings();
    void setErrno(const char* what);

    static constexpr int kWriteTimeoutMs = 1000;

    QString m_name;
    QString m_error;
    int m_fd = -1;
    int m_baud = 9600;
    // Bytes taken from the descriptor while waiting and not yet read. Waiting
    // reads only as many bytes as it was asked for, so a device flooding the
    // line cannot grow this beyond kMaxWait; the rest stays in the kernel
    // queue until it is discarded.
    uchar m_buffer[kMaxWait];
    int m_buffered = 0;
};

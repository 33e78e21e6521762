#include "cMemoryPort.h"

#include <cstring>

cMemoryPort::cMemoryPort(const QString& name) : m_name(name) {}

bool cMemoryPort::open()
{
    if (!m_openResult) {
        m_error = QStringLiteral("open refused");
        return false;
    }
    m_open = true;
    return true;
}

bool cMemoryPort::setBaudRate(int baud)
{
    switch (baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
        m_baud = baud;
        return true;
    default:
        m_error = QStringLiteral("unsupported baud rate");
        return false;
    }
}

bool cMemoryPort::setBreak(bool on)
{
    if (!m_open)
        return false;
    if (on && !m_breakOn)
        ++m_breaks;
    m_breakOn = on;
    return true;
}

bool cMemoryPort::write(const uchar* data, int count)
{
    if (!m_open || m_writeFails) {
        m_error = QStringLiteral("write failed");
        return false;
    }
    const QByteArray chunk(reinterpret_cast<const char*>(data), count);
    m_written.append(chunk);
    m_writes.append(chunk);
    if (m_responder)
        m_input.append(m_responder(chunk));
    return true;
}

cLinkPort::Wait cMemoryPort::waitForBytes(int count, int timeoutMs)
{
    m_lastWaitMs = timeoutMs;
    if (!m_open || m_readError || count < 1 || count > kMaxWait)
        return Wait::Error;
    return m_input.size() >= count ? Wait::Ready : Wait::TimedOut;
}

int cMemoryPort::read(uchar* data, int count)
{
    if (!m_open || m_readError || count < 0)
        return -1;
    const int n = count < m_input.size() ? count : int(m_input.size());
    memcpy(data, m_input.constData(), size_t(n));
    m_input.remove(0, n);
    return n;
}

void cMemoryPort::flush()
{
    ++m_flushes;
    m_input.clear();
}

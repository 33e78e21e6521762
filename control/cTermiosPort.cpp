#include "cTermiosPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

using Clock = std::chrono::steady_clock;

bool speedFor(int baud, speed_t* out)
{
    switch (baud) {
    case 1200:
        *out = B1200;
        return true;
    case 2400:
        *out = B2400;
        return true;
    case 4800:
        *out = B4800;
        return true;
    case 9600:
        *out = B9600;
        return true;
    case 19200:
        *out = B19200;
        return true;
    case 38400:
        *out = B38400;
        return true;
    case 57600:
        *out = B57600;
        return true;
    case 115200:
        *out = B115200;
        return true;
    default:
        return false;
    }
}

int msLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(left);
}

} // namespace

cTermiosPort::cTermiosPort(const QString& name) : m_name(name) {}

cTermiosPort::~cTermiosPort()
{
    close();
}

QString cTermiosPort::devicePath(const QString& name)
{
    return name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

void cTermiosPort::setErrno(const char* what)
{
    m_error =
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)));
}

bool cTermiosPort::open()
{
    if (m_fd >= 0)
        return true;
    if (m_name.isEmpty()) {
        m_error = QStringLiteral("no port name");
        return false;
    }
    const QByteArray path = devicePath(m_name).toLocal8Bit();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setErrno("open");
        return false;
    }
    if (!isatty(fd)) {
        m_error = QStringLiteral("not a serial device");
        ::close(fd);
        return false;
    }
    // One user of the line at a time. An advisory lock rather than the
    // terminal's exclusive mode: it goes away with the descriptor, even when
    // the process dies, so a crashed run never leaves the line blocked.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_error = errno == EWOULDBLOCK
                      ? QStringLiteral("the port is in use by another program")
                      : QStringLiteral("lock: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_buffered = 0;
    if (!applySettings()) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    tcflush(m_fd, TCIOFLUSH);
    return true;
}

bool cTermiosPort::applySettings()
{
    termios tio;
    if (tcgetattr(m_fd, &tio) != 0) {
        setErrno("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    speed_t speed;
    if (!speedFor(m_baud, &speed))
        speed = B9600;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        setErrno("tcsetattr");
        return false;
    }
    return true;
}

void cTermiosPort::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffered = 0;
}

bool cTermiosPort::setBaudRate(int baud)
{
    speed_t speed;
    if (!speedFor(baud, &speed)) {
        m_error = QStringLiteral("unsupported baud rate %1").arg(baud);
        return false;
    }
    if (m_fd < 0) {
        m_baud = baud;
        return true;
    }
    termios tio;
    if (tcgetattr(m_fd, &tio) != 0) {
        setErrno("tcgetattr");
        return false;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        setErrno("tcsetattr");
        return false;
    }
    m_baud = baud;
    return true;
}

bool cTermiosPort::setBreak(bool on)
{
    if (m_fd < 0)
        return false;
    if (ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) != 0) {
        setErrno("break");
        return false;
    }
    return true;
}

bool cTermiosPort::write(const uchar* data, int count)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("port not open");
        return false;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            setErrno("write");
            return false;
        }
        // Output queue full: wait until it drains, within the write deadline.
        pollfd p{m_fd, POLLOUT, 0};
        const int left = msLeft(deadline);
        if (left == 0) {
            m_error = QStringLiteral("write: timed out");
            return false;
        }
        const int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR) {
            setErrno("poll");
            return false;
        }
        if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            m_error = QStringLiteral("write: line hung up");
            return false;
        }
    }
    return true;
}

cLinkPort::Wait cTermiosPort::waitForBytes(int count, int timeoutMs)
{
    if (m_fd < 0 || count < 1 || count > kMaxWait) {
        m_error = m_fd < 0 ? QStringLiteral("port not open") : QStringLiteral("bad read size");
        return Wait::Error;
    }
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (m_buffered < count) {
        // Take what is there first; poll() only when the queue is empty, so
        // the loop sleeps in the kernel instead of spinning.
        const ssize_t n = ::read(m_fd, m_buffer + m_buffered, size_t(count - m_buffered));
        if (n > 0) {
            m_buffered += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            setErrno("read");
            return Wait::Error;
        }
        const int left = msLeft(deadline);
        if (left == 0)
            return Wait::TimedOut;
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, left);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            setErrno("poll");
            return Wait::Error;
        }
        if (r == 0)
            return Wait::TimedOut;
        if (p.revents & (POLLERR | POLLNVAL)) {
            m_error = QStringLiteral("read: port error");
            return Wait::Error;
        }
        if ((p.revents & POLLHUP) && !(p.revents & POLLIN)) {
            m_error = QStringLiteral("read: line hung up");
            return Wait::Error;
        }
        if (n == 0 && (p.revents & POLLHUP)) {
            m_error = QStringLiteral("read: line hung up");
            return Wait::Error;
        }
    }
    return Wait::Ready;
}

int cTermiosPort::read(uchar* data, int count)
{
    if (m_fd < 0 || count < 0)
        return -1;
    const int fromBuffer = count < m_buffered ? count : m_buffered;
    memcpy(data, m_buffer, size_t(fromBuffer));
    memmove(m_buffer, m_buffer + fromBuffer, size_t(m_buffered - fromBuffer));
    m_buffered -= fromBuffer;
    int done = fromBuffer;
    while (done < count) {
        const ssize_t n = ::read(m_fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && done == 0) {
            setErrno("read");
            return -1;
        }
        break;
    }
    return done;
}

void cTermiosPort::discardInput()
{
    m_buffered = 0;
    if (m_fd >= 0)
        tcflush(m_fd, TCIFLUSH);
}

void cTermiosPort::flush()
{
    m_buffered = 0;
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
}

#include "cLinkSerial.h"

#include "cTermiosPort.h"

#include <QLoggingCategory>

#include <chrono>
#include <cstring>
#include <thread>

Q_LOGGING_CATEGORY(lcLink, "velmora.link")

using namespace LinkFrame;

cLinkSerial::cLinkSerial(const QString& portName) : m_port(std::make_unique<cTermiosPort>(portName))
{
}

cLinkSerial::cLinkSerial(std::unique_ptr<cLinkPort> port) : m_port(std::move(port)) {}

cLinkSerial::~cLinkSerial()
{
    if (m_port && m_port->isOpen())
        m_port->close();
}

QString cLinkSerial::portName() const
{
    return m_port ? m_port->portName() : QString();
}

QString cLinkSerial::portError() const
{
    return m_port ? m_port->errorString() : QString();
}

bool cLinkSerial::isOpen() const
{
    return m_port && m_port->isOpen();
}

bool cLinkSerial::openCommPort()
{
    return m_port && m_port->open();
}

void cLinkSerial::setCommPort(const QString& portName)
{
    m_port = std::make_unique<cTermiosPort>(portName);
}

bool cLinkSerial::baudToBaudRateType(int baud, BaudRateType* out)
{
    switch (baud) {
    case BAUD1200:
    case BAUD2400:
    case BAUD4800:
    case BAUD9600:
    case BAUD19200:
    case BAUD38400:
    case BAUD57600:
    case BAUD115200:
        if (out)
            *out = BaudRateType(baud);
        return true;
    default:
        return false;
    }
}

void cLinkSerial::generateBreak()
{
    if (!isOpen())
        return;
    m_port->setBreak(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(kBreakMs));
    m_port->setBreak(false);
}

int cLinkSerial::SetBaudRate(int baud)
{
    if (!isOpen())
        return kPortClosed;
    m_port->setBaudRate(BAUD9600);
    generateBreak();
    BaudRateType type;
    if (!baudToBaudRateType(baud, &type))
        return kWriteFailed;
    if (!m_port->setBaudRate(type))
        return kWriteFailed;
    const uchar at = kPreambleByte;
    for (int i = 0; i < kPreambleBytes; ++i) {
        if (!m_port->write(&at, 1)) {
            m_port->flush();
            return kWriteFailed;
        }
    }
    return kOk;
}

bool cLinkSerial::writeAll(const uchar* data, int count)
{
    // A request/reply link: anything received before a request is written is
    // noise or a late reply to an exchange that already timed out, and would
    // otherwise be taken as (part of) this request's reply.
    m_port->discardInput();
    if (!m_port->write(data, count)) {
        m_port->flush();
        return false;
    }
    return true;
}

uchar cLinkSerial::sendData(uchar* buffer, uchar length, bool expectAck, bool withChecksum,
                            uchar replyLength)
{
    if (length > 0) {
        // Smallest request: sync, address, length and command.
        if (length < 4)
            return kWriteFailed;
        memcpy(m_txBuffer, buffer, length);
        int total = length;
        if (withChecksum) {
            m_txBuffer[2] = uchar(length - 1);
            AddTXChecksums();
            total += 2;
        }
        if (!isOpen())
            return kPortClosed;
        if (!writeAll(m_txBuffer, total))
            return kWriteFailed;
    }
    if (replyLength > 0) {
        const int rc = RxPacket(reinterpret_cast<char*>(m_rxBuffer), replyLength, withChecksum);
        if (rc != kOk)
            return uchar(rc);
        memcpy(buffer, m_rxBuffer, replyLength);
        return kOk;
    }
    if (expectAck)
        return uchar(readAck(withChecksum));
    return kOk;
}

int cLinkSerial::RxPacket(char* buffer, uchar count, bool withChecksum)
{
    if (!isOpen())
        return kPortClosed;
    if (count == 0)
        return kOk;
    if (withChecksum && count < kHeaderSize + 2)
        return kFramingError;
    if (!RxPeekBytes(count, kReplyTimeoutMs))
        return kTimedOut;
    uchar* p = reinterpret_cast<uchar*>(buffer);
    if (m_port->read(p, count) < count)
        return kFramingError;
    // A fixed-length reply must announce exactly the size we expect; its
    // length byte also bounds the check-byte verification below.
    if (count >= kHeaderSize && p[2] + kHeaderSize != count)
        return kFramingError;
    if (withChecksum && ChkRXChecksums(buffer) != kOk)
        return kBadChecksum;
    return kOk;
}

bool cLinkSerial::RxPeekBytes(qint64 count, int timeoutMs)
{
    if (!isOpen() || count < 1 || count > cLinkPort::kMaxWait)
        return false;
    switch (m_port->waitForBytes(int(count), timeoutMs)) {
    case cLinkPort::Wait::Ready:
        return true;
    case cLinkPort::Wait::TimedOut:
        m_port->flush();
        return false;
    case cLinkPort::Wait::Error:
        return false;
    }
    return false;
}

int cLinkSerial::readAck(bool withChecksum)
{
    const int rc = RxPacket(reinterpret_cast<char*>(m_rxBuffer), 6, withChecksum);
    if (rc != kOk)
        return rc;
    if (m_rxBuffer[0] != kSync || m_rxBuffer[1] != kHostAddress || m_rxBuffer[3] != kAckCode)
        return kNotAcknowledged;
    return kOk;
}

int cLinkSerial::CheckAck()
{
    return readAck(true);
}

int cLinkSerial::TxRxData(uchar* buffer, int& length, QString& errorText, bool withChecksum)
{
    errorText.clear();
    int rc = TxData(buffer, length, withChecksum);
    if (rc == kOk)
        rc = RxPacketEx(buffer, length, errorText, withChecksum);
    if (rc != kOk)
        qCDebug(lcLink).noquote() << QStringLiteral("TxRx return next error %1").arg(rc);
    return rc;
}

int cLinkSerial::TxData(uchar* buffer, int count, bool withChecksum)
{
    const int checkBytes = withChecksum ? 2 : 0;
    // A request that cannot be framed (L is one byte) is refused before
    // anything is sent, never truncated into a malformed packet.
    if (count < 4 || count + checkBytes > kMaxPacket)
        return kWriteFailed;
    buffer[2] = uchar(count - kHeaderSize + checkBytes);
    memcpy(m_txBuffer, buffer, size_t(count));
    if (withChecksum)
        AddTXChecksums();
    if (!isOpen())
        return kPortClosed;
    if (!writeAll(m_txBuffer, count + checkBytes))
        return kWriteFailed;
    return kOk;
}

int cLinkSerial::RxPacketEx(uchar* buffer, int& length, QString& errorText, bool withChecksum)
{
    const int timeoutMs = buffer[3] == kSlowCommand ? kSlowReplyTimeoutMs : kReplyTimeoutMs;
    if (!isOpen())
        return kPortClosed;
    if (!RxPeekBytes(4, timeoutMs))
        return kTimedOut;
    if (m_port->read(buffer, 4) < 4 || buffer[0] != kSync || buffer[1] != kHostAddress)
        return kFramingError;
    const int lengthByte = buffer[2];
    // A reply needs at least its reply code and the two check bytes; a smaller
    // length byte would make the payload size negative.
    if (lengthByte < 3)
        return kFramingError;
    const int rest = lengthByte - 1;
    if (rest > 0) {
        if (!RxPeekBytes(rest, timeoutMs))
            return kTimedOut;
        if (m_port->read(buffer + 4, rest) < rest)
            return kFramingError;
    }
    length = lengthByte - 3;
    if (withChecksum && ChkRXChecksums(reinterpret_cast<char*>(buffer)) != kOk)
        return kBadChecksum;
    // The status byte exists only when L >= 4; a bare acknowledgement
    // (L = 3) carries no error and counts as success with an empty payload.
    if (buffer[3] == kAckCode && lengthByte >= 4 && buffer[4] != 0) {
        if (lengthByte >= 5) {
            int end = 5;
            while (end <= lengthByte && buffer[end] != 0)
                ++end;
            errorText = QString::fromLatin1(reinterpret_cast<const char*>(buffer + 5), end - 5);
        }
        return (int(buffer[4]) << 8) | kRecorderError;
    }
    return kOk;
}

void cLinkSerial::AddTXChecksums()
{
    addCheckBytes(m_txBuffer);
    m_sums.clear();
}

int cLinkSerial::ChkRXChecksums(char* packet)
{
    m_sums.clear();
    return verify(reinterpret_cast<const uchar*>(packet)) ? kOk : kBadChecksum;
}

void cLinkSerial::UpdateChecksums(uchar byte)
{
    m_sums.add(byte);
}

void cLinkSerial::LoadPacketHeader()
{
    m_txBuffer[0] = kSync;
    m_txBuffer[1] = m_linkAddress;
}

void cLinkSerial::SetPktHdr(uchar length, uchar command)
{
    m_txBuffer[2] = length;
    m_txBuffer[3] = command;
}

int cLinkSerial::SendPkt(bool expectAck)
{
    LoadPacketHeader();
    AddTXChecksums();
    if (!isOpen())
        return kPortClosed;
    if (!writeAll(m_txBuffer, m_txBuffer[2] + kHeaderSize))
        return kWriteFailed;
    return expectAck ? CheckAck() : kOk;
}

QString cLinkSerial::resultText(int result, const QString& errorText)
{
    switch (result) {
    case kOk:
        return QStringLiteral("success");
    case kWriteFailed:
        return QStringLiteral("the request could not be written to the port");
    case kPortClosed:
        return QStringLiteral("the port is not open");
    case kTimedOut:
        return QStringLiteral("time-out: the recorder did not answer in time");
    case kBadChecksum:
        return QStringLiteral("the recorder's reply has wrong check bytes");
    case kNotAcknowledged:
        return QStringLiteral("the recorder did not acknowledge the request");
    case kFramingError:
        return QStringLiteral("the recorder's reply is malformed (framing error)");
    default:
        break;
    }
    if ((result & 0xFF) == kRecorderError && (result >> 8) != 0) {
        QString s = QStringLiteral("recorder error %1").arg(result >> 8);
        if (!errorText.isEmpty())
            s += QStringLiteral(": ") + errorText;
        return s;
    }
    return QStringLiteral("link error %1").arg(result);
}

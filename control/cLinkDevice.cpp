#include "cLinkDevice.h"

#include <cstring>

using namespace LinkFrame;

namespace
{
// Reply lengths of GetDeviceInfo by selector.
constexpr uchar kDeviceInfoReply[] = {8, 8, 7, 11, 10, 10, 8};
constexpr int kVersionReply = 7;
constexpr int kUserGetReply = 7;
constexpr int kTransportReply = 6;
constexpr int kTimeCodeReply = 17;
constexpr int kGetMetersReply = 30;
constexpr int kMetersGetReply = 13;
} // namespace

cLinkDevice::cLinkDevice(const QString& portName) : cLinkDevice(portName, 0) {}

cLinkDevice::cLinkDevice(const QString& portName, uchar address)
    : cLinkSerial(portName), m_address(address)
{
}

cLinkDevice::cLinkDevice(std::unique_ptr<cLinkPort> port, uchar address)
    : cLinkSerial(std::move(port)), m_address(address)
{
}

void cLinkDevice::ConfigurePacketHeader(uchar length, uchar command)
{
    m_command[0] = kSync;
    m_command[1] = m_address;
    m_command[2] = length;
    m_command[3] = command;
}

uchar cLinkDevice::fixedExchange(int requestLength, bool expectAck, int replyLength)
{
    return sendData(m_command, uchar(requestLength), expectAck, true, uchar(replyLength));
}

int cLinkDevice::variableExchange(int requestLength, int* payloadSize)
{
    int length = requestLength;
    const int rc = TxRxData(m_command, length, m_lastAckError, true);
    if (payloadSize)
        *payloadSize = rc == kOk ? length : 0;
    return rc;
}

int cLinkDevice::getVersion(uchar selector, legacyVersion* out)
{
    if (out)
        *out = legacyVersion();
    ConfigurePacketHeader(4, kCmdVersion);
    m_command[4] = selector;
    const int rc = fixedExchange(5, false, kVersionReply);
    if (rc == kOk && out) {
        out->minor = m_command[3];
        if (selector == kVersionFirmware)
            out->major = m_command[4];
    }
    return rc;
}

int cLinkDevice::UserGet(ushort id, ushort* value)
{
    ConfigurePacketHeader(5, kCmdUserGet);
    put16(m_command + 4, id);
    const int rc = fixedExchange(6, false, kUserGetReply);
    if (rc == kOk && value)
        *value = get16(m_command + 3);
    return rc;
}

int cLinkDevice::SetTransport(TransportMode mode)
{
    ConfigurePacketHeader(4, kCmdSetTransport);
    m_command[4] = uchar(mode);
    return fixedExchange(5, true, 0);
}

int cLinkDevice::GetTransport(TransportMode* mode)
{
    ConfigurePacketHeader(3, kCmdGetTransport);
    const int rc = fixedExchange(4, false, kTransportReply);
    if (rc == kOk && mode)
        *mode = TransportMode(m_command[3]);
    return rc;
}

int cLinkDevice::GetTimeCode(uint* timecode, uint* second, uint* fileTime)
{
    ConfigurePacketHeader(3, kCmdGetTimeCode);
    const int rc = fixedExchange(4, false, kTimeCodeReply);
    if (rc != kOk)
        return rc;
    if (timecode)
        *timecode = get32(m_command + 3);
    if (second)
        *second = get32(m_command + 7);
    if (fileTime)
        *fileTime = get32(m_command + 11);
    return rc;
}

int cLinkDevice::GetMeters(uchar selector, QByteArray* levels)
{
    ConfigurePacketHeader(4, kCmdGetMeters);
    m_command[4] = selector;
    const int rc = fixedExchange(5, false, kGetMetersReply);
    if (rc == kOk && levels) {
        const int last = m_command[2];
        if (last >= 4)
            levels->append(reinterpret_cast<const char*>(m_command + 4), last - 3);
    }
    return rc;
}

int cLinkDevice::MetersGet(QByteArray* bytes)
{
    ConfigurePacketHeader(3, kCmdMetersGet);
    const int rc = fixedExchange(4, false, kMetersGetReply);
    if (rc == kOk && bytes) {
        const int last = m_command[2];
        if (last >= 3)
            bytes->append(reinterpret_cast<const char*>(m_command + 3), last - 2);
    }
    return rc;
}

int cLinkDevice::MetersGet(QList<meterChannel>* channels)
{
    QByteArray bytes;
    const int rc = MetersGet(&bytes);
    if (rc == kOk && channels) {
        for (int i = 0; i + 1 < bytes.size(); i += 2)
            channels->append(meterChannel{uchar(bytes[i]), uchar(bytes[i + 1])});
    }
    return rc;
}

QList<cLinkDevice::meterChannel> cLinkDevice::MetersGet()
{
    QList<meterChannel> channels;
    MetersGet(&channels);
    return channels;
}

int cLinkDevice::GetDeviceInfo(uchar selector, uchar* out, uchar*)
{
    if (selector > kMaxDeviceInfoSelector)
        return kWriteFailed;
    const int replyLength = kDeviceInfoReply[selector];
    ConfigurePacketHeader(4, kCmdGetDeviceInfo);
    m_command[4] = selector;
    const int rc = fixedExchange(5, false, replyLength);
    if (rc == kOk && out && replyLength >= 11) {
        for (int i = 4; i <= replyLength - 7; ++i)
            out[i] = m_command[i];
    }
    return rc;
}

int cLinkDevice::GetTakeList(int first, uchar count, QList<uint>& takes)
{
    takes.clear();
    ConfigurePacketHeader(0, kCmdGetTakeList);
    put32(m_command + 4, quint32(first));
    m_command[8] = count;
    int length = 0;
    const int rc = variableExchange(9, &length);
    if (rc != kOk)
        return rc;
    for (int i = 0; i + 4 <= length; i += 4)
        takes.append(get32(payload() + i));
    return kOk;
}

int cLinkDevice::GetTakeParam(uint take, uchar id, uchar* value, int& length)
{
    ConfigurePacketHeader(0, kCmdGetTakeParam);
    put32(m_command + 4, take);
    m_command[8] = id;
    int size = 0;
    const int rc = variableExchange(9, &size);
    if (rc != kOk)
        return rc;
    if (value)
        memcpy(value, payload(), size_t(size));
    length = size;
    return kOk;
}

int cLinkDevice::SetTakeParam(uint take, uchar id, const uchar* value, int length)
{
    if (length < 0 || length > kMaxTakeParamBytes || (length > 0 && !value)) {
        m_lastAckError.clear();
        return kWriteFailed;
    }
    ConfigurePacketHeader(0, kCmdSetTakeParam);
    put32(m_command + 4, take);
    m_command[8] = id;
    if (length > 0)
        memcpy(m_command + 9, value, size_t(length));
    return variableExchange(9 + length, nullptr);
}

int cLinkDevice::SetFalseTake(uint take)
{
    ConfigurePacketHeader(0, kCmdSetFalseTake);
    put32(m_command + 4, take);
    return variableExchange(8, nullptr);
}

int cLinkDevice::GetTakeListChanges(int& change, int& take)
{
    ConfigurePacketHeader(0, kCmdGetTakeListChanges);
    int size = 0;
    const int rc = variableExchange(4, &size);
    if (rc != kOk)
        return rc;
    if (size >= 5) {
        change = payload()[0];
        take = int(get32(payload() + 1));
    }
    return kOk;
}

std::string cLinkDevice::getLastAckErr() const
{
    return m_lastAckError.toLatin1().toStdString();
}

bool cLinkDevice::makeTextValue(const QString& text, QByteArray* out)
{
    if (text.size() > kMaxTextChars)
        return false;
    QByteArray bytes;
    bytes.reserve(text.size() + 1);
    for (const QChar c : text) {
        if (c.unicode() == 0 || c.unicode() > 127)
            return false;
        bytes.append(char(c.unicode()));
    }
    bytes.append('\0');
    if (out)
        *out = bytes;
    return true;
}

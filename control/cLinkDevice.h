#pragma once

#include "cLinkSerial.h"

#include <QByteArray>
#include <QList>

#include <string>

// Command layer of the recorder link: one operation per recorder command.
// Each builds its request in the command buffer, runs one exchange through
// the framing layer and decodes the reply. Every operation returns the
// framing layer's result code (0 = success) and writes its outputs only on
// success (getVersion clears `out` and GetTakeList clears `takes` first).
//
// Threading as cLinkSerial: one exchange at a time, serialised by the caller.
class cLinkDevice : public cLinkSerial
{
    Q_OBJECT
public:
    struct legacyVersion {
        uchar major = 0;
        uchar minor = 0;
    };
    // The two bytes of one channel pair of a MetersGet reply, in reply order.
    struct meterChannel {
        uchar first = 0;
        uchar second = 0;
    };
    // The recorder's transport state as one raw byte: a value read back from
    // the recorder is passed on as it is, so it may be above kRecord.
    enum TransportMode : uchar { kStop = 0, kPlay = 1, kRecord = 2 };

    enum Command : uchar {
        kCmdVersion = 0x01,
        kCmdUserGet = 0x0A,
        kCmdMetersGet = 0x0D,
        kCmdSetTransport = 0x11,
        kCmdGetTransport = 0x12,
        kCmdGetTimeCode = 0x13,
        kCmdGetTakeList = 0x38,
        kCmdGetTakeParam = 0x39,
        kCmdSetTakeParam = 0x3A,
        kCmdSetFalseTake = 0x3B,
        kCmdGetMeters = 0x3E,
        kCmdGetDeviceInfo = 0x41,
        kCmdGetTakeListChanges = 0x4E,
    };

    // User parameter ids (UserGet).
    enum UserParam : ushort {
        kUserSampleRate = 0,
        kUserBitDepth = 1,
        kUserMeterBallistics = 8,
        kUserFrameRate = 51,
        kUserPeakHold = 234,
    };

    // Take parameter ids (GetTakeParam / SetTakeParam).
    enum TakeParam : uchar {
        kTakeFileName = 0,
        kTakeTake = 1,
        kTakeScene = 2,
        kTakeNotes = 3,
        kTakeCircled = 4,
        kTakeSecondFlag = 5,
        kTakeStartTimecode = 6,
    };

    // Selectors of getVersion.
    static constexpr uchar kVersionFirmware = 0;
    static constexpr uchar kVersionDeviceKind = 2;
    static constexpr uchar kMaxDeviceInfoSelector = 6;
    // SetTakeParam: L = value bytes + 8 must fit in one byte.
    static constexpr int kMaxTakeParamBytes = 255 - 8;
    // A text value is its characters plus a NUL.
    static constexpr int kMaxTextChars = kMaxTakeParamBytes - 1;
    // Largest variable-length payload; GetTakeParam's value buffer must hold it.
    static constexpr int kMaxPayload = LinkFrame::kMaxPayload;

    // The recorder's address is 0 unless given.
    explicit cLinkDevice(const QString& portName);
    cLinkDevice(const QString& portName, uchar address);
    // Over a given port (takes ownership), for example a cMemoryPort.
    explicit cLinkDevice(std::unique_ptr<cLinkPort> port, uchar address = 0);

    // Fills bytes 0-3 of the command buffer: sync, address, L, command.
    void ConfigurePacketHeader(uchar length, uchar command);

    int getVersion(uchar selector, legacyVersion* out);
    int UserGet(ushort id, ushort* value);
    int SetTransport(TransportMode mode);
    int GetTransport(TransportMode* mode);
    // Packed times: byte 3 hours, 2 minutes, 1 seconds, 0 frames/fraction.
    int GetTimeCode(uint* timecode, uint* second, uint* fileTime);
    // Appends the level bytes (24 for a well-formed reply).
    int GetMeters(uchar selector, QByteArray* levels);
    int MetersGet(QList<meterChannel>* channels);
    int MetersGet(QByteArray* bytes);
    QList<meterChannel> MetersGet();
    // Selectors 0-6; any other selector is refused (kWriteFailed) unsent.
    // For the 11-byte reply (selector 3) copies reply byte 4 to out[4], so out
    // must hold at least 5 bytes. The third argument is not used.
    int GetDeviceInfo(uchar selector, uchar* out, uchar* unused);
    int GetTakeList(int first, uchar count, QList<uint>& takes);
    // value must hold kMaxPayload bytes; length receives the payload size.
    int GetTakeParam(uint take, uchar id, uchar* value, int& length);
    // Refuses (kWriteFailed, nothing sent) a value of more than
    // kMaxTakeParamBytes bytes.
    int SetTakeParam(uint take, uchar id, const uchar* value, int length);
    int SetFalseTake(uint take);
    // Outputs only when the payload has at least 5 bytes.
    int GetTakeListChanges(int& change, int& take);

    // The recorder's error text of the last variable-length exchange.
    std::string getLastAckErr() const;
    QString lastAckError() const { return m_lastAckError; }

    // Wire form of a text take parameter: the ASCII bytes plus a NUL. False
    // (out untouched) for more than kMaxTextChars characters or a character
    // outside 1-127, which the recorder could not store as typed.
    static bool makeTextValue(const QString& text, QByteArray* out);

private:
    uchar fixedExchange(int requestLength, bool expectAck, int replyLength);
    int variableExchange(int requestLength, int* payloadSize);
    const uchar* payload() const { return m_command + 4; }

    uchar m_address = 0;
    QString m_lastAckError;
    uchar m_command[kTxBufferSize] = {};
};

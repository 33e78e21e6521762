#pragma once

#include "LinkFrame.h"
#include "cLinkPort.h"

#include <QObject>
#include <QString>

#include <memory>

// Framing layer of the recorder link: owns the port, brings it to the working
// baud rate, frames requests (sync, address, length, two Fletcher check bytes)
// and reads back fixed-length or variable-length replies.
//
// Every exchange returns a result code (enum Result); variable-length
// exchanges may also return (E * 256) + 5 for a recorder error E, with the
// recorder's text. Nothing is retried here.
//
// Not thread-safe: the transmit/receive buffers are shared by all operations.
// The control-mode worker serialises every use under its mutex; before and
// after the worker runs only one thread touches the object. The QObject base
// carries no thread-bound state (no timers, no notifiers), so the object may
// be used from any one thread at a time.
class cLinkSerial : public QObject
{
    Q_OBJECT
public:
    enum Result : int {
        kOk = 0,
        // Writing to the port failed (the port is flushed), an unsupported
        // baud rate, or a request that cannot be framed (too long) and was
        // refused before anything was sent.
        kWriteFailed = 1,
        kPortClosed = 2,
        // The reply did not arrive in time (the port is flushed) or the port
        // reported a read error.
        kTimedOut = 3,
        kBadChecksum = 4,
        kNotAcknowledged = 5,
        kFramingError = 6,
    };
    // Recorder error E of a variable-length exchange is returned as
    // (E << 8) | kRecorderError.
    static constexpr int kRecorderError = 5;

    enum BaudRateType {
        BAUD1200 = 1200,
        BAUD2400 = 2400,
        BAUD4800 = 4800,
        BAUD9600 = 9600,
        BAUD19200 = 19200,
        BAUD38400 = 38400,
        BAUD57600 = 57600,
        BAUD115200 = 115200,
    };

    static constexpr int kReplyTimeoutMs = 1000;
    // The take-parameter write may keep the recorder busy writing media.
    static constexpr int kSlowReplyTimeoutMs = 120000;
    static constexpr uchar kSlowCommand = 0x3A;
    static constexpr int kBreakMs = 10;
    static constexpr int kPreambleBytes = 255;
    static constexpr uchar kPreambleByte = 0x40;
    static constexpr int kTxBufferSize = 264;
    static constexpr int kRxBufferSize = 266;

    // Creates an unopened serial port (cTermiosPort) for a device name or path.
    explicit cLinkSerial(const QString& portName);
    // Runs over a given port (for example a cMemoryPort); takes ownership.
    explicit cLinkSerial(std::unique_ptr<cLinkPort> port);
    ~cLinkSerial() override;

    QString portName() const;
    QString portError() const;
    bool isOpen() const;
    cLinkPort* port() const { return m_port.get(); }

    bool openCommPort();
    // Break at 9600, then the given rate and 255 '@' bytes. Returns a Result.
    int SetBaudRate(int baud);
    void generateBreak();
    static bool baudToBaudRateType(int baud, BaudRateType* out);

    // Fixed-length exchange. buffer holds the request (length bytes, byte 2
    // set to length - 1 when check bytes are used) and, on success, receives
    // the replyLength reply bytes; it must hold max(length, replyLength) bytes.
    uchar sendData(uchar* buffer, uchar length, bool expectAck, bool withChecksum,
                   uchar replyLength);
    // Variable-length exchange: TxData then RxPacketEx. On entry length is the
    // request size (sync to end of payload); on success it is the payload size
    // and the payload starts at buffer[4]. buffer must hold kTxBufferSize bytes.
    int TxRxData(uchar* buffer, int& length, QString& errorText, bool withChecksum);
    int TxData(uchar* buffer, int count, bool withChecksum);
    int RxPacketEx(uchar* buffer, int& length, QString& errorText, bool withChecksum);
    // Reads exactly count bytes (a whole fixed-length packet) into buffer.
    int RxPacket(char* buffer, uchar count, bool withChecksum);
    bool RxPeekBytes(qint64 count, int timeoutMs);

    void AddTXChecksums();
    int ChkRXChecksums(char* packet);
    void UpdateChecksums(uchar byte);
    int CheckAck();
    void LoadPacketHeader();
    void SetPktHdr(uchar length, uchar command);
    int SendPkt(bool expectAck);

    // Replaces the port by a new, unopened one for another name.
    void setCommPort(const QString& portName);

    // Words a result code for messages ("time-out: ...", "recorder error 5: text").
    static QString resultText(int result, const QString& errorText = QString());

public slots:
    // Nothing is connected to it: the port is polled, never notified.
    void onDataAvailable() {}

private:
    bool writeAll(const uchar* data, int count);
    int readAck(bool withChecksum);

    // Address used by the header operations (LoadPacketHeader, SendPkt) only;
    // the command layer keeps its own.
    uchar m_linkAddress = 0;
    LinkFrame::Fletcher m_sums;
    uchar m_txBuffer[kTxBufferSize] = {};
    uchar m_rxBuffer[kRxBufferSize] = {};
    std::unique_ptr<cLinkPort> m_port;
};

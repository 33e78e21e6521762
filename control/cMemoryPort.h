#pragma once

#include "cLinkPort.h"

#include <QByteArray>
#include <QList>

#include <functional>

// cLinkPort over byte buffers, for running the link without a serial line
// (unit tests, the fuzz target). Waiting never sleeps: when too few bytes are
// queued the wait ends at once as a time-out, so time-out paths run instantly.
//
// A responder, when set, is called with every chunk written to the port and
// may return bytes to queue as received input (a fake recorder).
class cMemoryPort : public cLinkPort
{
public:
    using Responder = std::function<QByteArray(const QByteArray& written)>;

    explicit cMemoryPort(const QString& name = QStringLiteral("memory"));

    void setResponder(Responder responder) { m_responder = std::move(responder); }
    // Queues bytes as if they had been received.
    void feed(const QByteArray& bytes) { m_input.append(bytes); }
    QByteArray pendingInput() const { return m_input; }
    // Everything written since the last clearWritten(), in order.
    QByteArray written() const { return m_written; }
    void clearWritten() { m_written.clear(); }
    // Each write() call as its own chunk.
    QList<QByteArray> writes() const { return m_writes; }
    // Failure switches.
    void setOpenResult(bool ok) { m_openResult = ok; }
    void setWriteFails(bool fails) { m_writeFails = fails; }
    void setReadError(bool error) { m_readError = error; }
    // Observations.
    int breakCount() const { return m_breaks; }
    bool breakActive() const { return m_breakOn; }
    int lastWaitTimeoutMs() const { return m_lastWaitMs; }
    int flushCount() const { return m_flushes; }

    QString portName() const override { return m_name; }
    bool open() override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool setBaudRate(int baud) override;
    int baudRate() const override { return m_baud; }
    bool setBreak(bool on) override;
    bool write(const uchar* data, int count) override;
    Wait waitForBytes(int count, int timeoutMs) override;
    int read(uchar* data, int count) override;
    void discardInput() override { m_input.clear(); }
    void flush() override;
    QString errorString() const override { return m_error; }

private:
    QString m_name;
    QString m_error;
    Responder m_responder;
    QByteArray m_input;
    QByteArray m_written;
    QList<QByteArray> m_writes;
    int m_baud = 9600;
    int m_breaks = 0;
    int m_lastWaitMs = -1;
    int m_flushes = 0;
    bool m_open = false;
    bool m_breakOn = false;
    bool m_openResult = true;
    bool m_writeFails = false;
    bool m_readError = false;
};

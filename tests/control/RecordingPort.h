#pragma once

#include "cLinkPort.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>

// A cLinkPort that passes everything to another port and records each
// request written (whole packets from the sync byte) with a stamp supplied by
// the test, for example the worker's tick count at the time of the request.
class RecordingPort : public cLinkPort
{
public:
    struct Entry {
        quint32 stamp;
        QByteArray request;
        int command() const { return request.size() > 3 ? uchar(request[3]) : -1; }
        // The 16-bit id of a UserGet request.
        int userParam() const
        {
            return request.size() > 5 ? uchar(request[4]) | (uchar(request[5]) << 8) : -1;
        }
    };

    explicit RecordingPort(std::unique_ptr<cLinkPort> inner) : m_inner(std::move(inner)) {}

    void setStamp(std::function<quint32()> stamp) { m_stamp = std::move(stamp); }
    QList<Entry> entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

    QString portName() const override { return m_inner->portName(); }
    bool open() override { return m_inner->open(); }
    void close() override { m_inner->close(); }
    bool isOpen() const override { return m_inner->isOpen(); }
    bool setBaudRate(int baud) override { return m_inner->setBaudRate(baud); }
    int baudRate() const override { return m_inner->baudRate(); }
    bool setBreak(bool on) override { return m_inner->setBreak(on); }
    bool write(const uchar* data, int count) override
    {
        if (count >= 4 && data[0] == 0xA5)
            m_entries.append(Entry{m_stamp ? m_stamp() : 0u,
                                   QByteArray(reinterpret_cast<const char*>(data), count)});
        return m_inner->write(data, count);
    }
    Wait waitForBytes(int count, int timeoutMs) override
    {
        return m_inner->waitForBytes(count, timeoutMs);
    }
    int read(uchar* data, int count) override { return m_inner->read(data, count); }
    void discardInput() override { m_inner->discardInput(); }
    void flush() override { m_inner->flush(); }
    QString errorString() const override { return m_inner->errorString(); }

private:
    std::unique_ptr<cLinkPort> m_inner;
    std::function<quint32()> m_stamp;
    QList<Entry> m_entries;
};

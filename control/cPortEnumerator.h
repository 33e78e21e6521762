#pragma once

#include <QList>
#include <QString>

// One serial port as the system lists it.
struct cPortEntry {
    QString portName; // name to open (device name or path)
    QString description;
    bool hasUsbIds = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// Lists the serial ports of the system. An interface so recognition can be
// run against a made-up list; a pseudo-terminal never appears in a real one.
class cPortEnumerator
{
public:
    virtual ~cPortEnumerator() = default;
    virtual QList<cPortEntry> ports() const = 0;
};

// The system's ports, from QSerialPortInfo.
class cQtPortEnumerator : public cPortEnumerator
{
public:
    QList<cPortEntry> ports() const override;
};

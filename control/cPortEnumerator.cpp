#include "cPortEnumerator.h"

#include <QSerialPortInfo>

QList<cPortEntry> cQtPortEnumerator::ports() const
{
    QList<cPortEntry> out;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        cPortEntry e;
        e.portName = info.systemLocation().isEmpty() ? info.portName() : info.systemLocation();
        e.description = info.description();
        e.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        e.vendorId = info.vendorIdentifier();
        e.productId = info.productIdentifier();
        out.append(e);
    }
    return out;
}

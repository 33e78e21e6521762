#include "cRecorderProbe.h"

#include "cPortEnumerator.h"

bool cRecorderProbe::firmwareAccepted(uchar major, uchar minor)
{
    return major > kMinFirmwareMajor || (major == kMinFirmwareMajor && minor >= kMinFirmwareMinor);
}

cRecorderProbe::Outcome cRecorderProbe::probe(cLinkDevice& device)
{
    Outcome o;
    if (!device.isOpen() && !device.openCommPort()) {
        o.status = Status::OpenFailed;
        o.portError = device.portError();
        return o;
    }
    o.linkResult = device.SetBaudRate(kBaud);
    if (o.linkResult != cLinkSerial::kOk) {
        o.status = Status::BaudFailed;
        return o;
    }
    cLinkDevice::legacyVersion kind;
    o.linkResult = device.getVersion(cLinkDevice::kVersionDeviceKind, &kind);
    if (o.linkResult != cLinkSerial::kOk) {
        o.status = Status::NoAnswer;
        return o;
    }
    o.deviceKind = kind.minor;
    if (kind.minor != kDeviceKind) {
        o.status = Status::NotRecorder;
        return o;
    }
    o.linkResult = device.getVersion(cLinkDevice::kVersionFirmware, &o.firmware);
    if (o.linkResult != cLinkSerial::kOk) {
        o.status = Status::NoAnswer;
        return o;
    }
    o.status = firmwareAccepted(o.firmware.major, o.firmware.minor) ? Status::Accepted
                                                                    : Status::FirmwareTooOld;
    return o;
}

std::unique_ptr<cLinkDevice> cRecorderProbe::probePort(const QString& portName, Outcome* outcome)
{
    auto device = std::make_unique<cLinkDevice>(portName);
    const Outcome o = probe(*device);
    if (outcome)
        *outcome = o;
    if (o.status != Status::Accepted)
        return nullptr;
    return device;
}

std::unique_ptr<cLinkDevice> cRecorderProbe::scan(const cPortEnumerator& enumerator)
{
    const QList<cPortEntry> ports = enumerator.ports();
    for (const cPortEntry& port : ports) {
        if (!port.hasUsbIds || port.vendorId != kUsbVendor || port.productId != kUsbProduct)
            continue;
        if (auto device = probePort(port.portName))
            return device;
    }
    return nullptr;
}

QString cRecorderProbe::describe(const Outcome& o, const QString& portName)
{
    switch (o.status) {
    case Status::Accepted:
        return QStringLiteral("%1: recorder (device kind %2), firmware %3.%4")
            .arg(portName)
            .arg(o.deviceKind)
            .arg(o.firmware.major)
            .arg(o.firmware.minor);
    case Status::OpenFailed:
        return QStringLiteral("cannot open port %1: %2").arg(portName, o.portError);
    case Status::BaudFailed:
        return QStringLiteral("%1: cannot set the line to %2 baud: %3")
            .arg(portName)
            .arg(kBaud)
            .arg(cLinkSerial::resultText(o.linkResult));
    case Status::NoAnswer:
        return QStringLiteral("%1: not a recorder (no valid answer to the version request: %2)")
            .arg(portName, cLinkSerial::resultText(o.linkResult));
    case Status::NotRecorder:
        return QStringLiteral("%1: not a recorder (device kind %2, expected %3)")
            .arg(portName)
            .arg(o.deviceKind)
            .arg(kDeviceKind);
    case Status::FirmwareTooOld:
        return QStringLiteral("%1: recorder firmware %2.%3 is too old (%4.%5 or later needed)")
            .arg(portName)
            .arg(o.firmware.major)
            .arg(o.firmware.minor)
            .arg(kMinFirmwareMajor)
            .arg(kMinFirmwareMinor);
    }
    return QString();
}

#pragma once

#include "cLinkDevice.h"

#include <QString>

#include <memory>

class cPortEnumerator;

// Recognition of an R9K recorder on a serial port: open the port, switch to
// 115200 baud, ask the device kind (must be 5) and the firmware version (must
// be at least 2.9). The same steps serve the start-up scan, hot-plug and the
// command-line tool. Uses the device from the calling thread only; run it
// before the control-mode worker starts.
class cRecorderProbe
{
public:
    static constexpr int kBaud = 115200;
    static constexpr uchar kDeviceKind = 5;
    static constexpr uchar kMinFirmwareMajor = 2;
    static constexpr uchar kMinFirmwareMinor = 9;
    static constexpr quint16 kUsbVendor = 0x10C4;
    static constexpr quint16 kUsbProduct = 0xEA60;

    enum class Status {
        Accepted,
        OpenFailed,  // portError() of the device says why
        BaudFailed,  // linkResult holds the SetBaudRate result
        NoAnswer,    // a version request failed: linkResult holds its result
        NotRecorder, // answered, but the device kind is not 5
        FirmwareTooOld,
    };

    struct Outcome {
        Status status = Status::OpenFailed;
        int linkResult = 0;
        uchar deviceKind = 0;
        cLinkDevice::legacyVersion firmware;
        QString portError;
    };

    static bool firmwareAccepted(uchar major, uchar minor);

    // Runs the recognition on a device (opening its port if needed).
    static Outcome probe(cLinkDevice& device);
    // Creates a device for the port and probes it; returns it when accepted
    // (port open at 115200 baud), otherwise null with the reason in outcome.
    static std::unique_ptr<cLinkDevice> probePort(const QString& portName,
                                                  Outcome* outcome = nullptr);
    // Probes every listed port with the recorder's USB ids, in list order;
    // returns the first accepted one.
    static std::unique_ptr<cLinkDevice> scan(const cPortEnumerator& enumerator);

    // One sentence for a user, naming the port.
    static QString describe(const Outcome& outcome, const QString& portName);
};

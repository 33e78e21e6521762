// Every command of the link: the request bytes it sends and how it decodes
// the reply, over an in-memory port answered by a fake recorder.

#include "FakeRecorder.h"
#include "cLinkDevice.h"
#include "cMemoryPort.h"

#include <QTest>

using namespace FakeRecorder;

namespace
{

struct Device {
    cMemoryPort* port;
    std::unique_ptr<cLinkDevice> device;
    Responder responder;
};

std::unique_ptr<Device> makeDevice(uchar address = 0)
{
    auto d = std::make_unique<Device>();
    auto port = std::make_unique<cMemoryPort>();
    d->port = port.get();
    d->device = std::make_unique<cLinkDevice>(std::move(port), address);
    d->device->openCommPort();
    d->responder.attach(*d->port);
    return d;
}

// The request as sent: sync, address, L, command, arguments, check bytes.
QByteArray request(uchar address, const QByteArray& commandAndArgs)
{
    return packet(address, commandAndArgs);
}

} // namespace

class tst_LinkDevice : public QObject
{
    Q_OBJECT
private slots:
    void getVersionFirmware();
    void getVersionKindFillsOnlyMinor();
    void getVersionClearsOnFailure();
    void userGet();
    void transport_data();
    void transport();
    void getTransportPassesRawMode();
    void getTimeCode();
    void getMeters();
    void metersGet();
    void deviceInfo_data();
    void deviceInfo();
    void deviceInfoSelectorOutOfRange();
    void takeList();
    void takeListOddPayload_data();
    void takeListOddPayload();
    void takeListClearedOnFailure();
    void takeParam();
    void setTakeParamLengths_data();
    void setTakeParamLengths();
    void setTakeParamRefusesOversized();
    void falseTake();
    void takeListChanges_data();
    void takeListChanges();
    void lastAckError();
    void addressInRequests();
    void textValue_data();
    void textValue();
};

void tst_LinkDevice::getVersionFirmware()
{
    auto d = makeDevice();
    d->responder.on(0x01, reply(bytes({9, 2})));
    cLinkDevice::legacyVersion v;
    QCOMPARE(d->device->getVersion(0, &v), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x01, 0x00})));
    QCOMPARE(int(v.major), 2);
    QCOMPARE(int(v.minor), 9);
}

void tst_LinkDevice::getVersionKindFillsOnlyMinor()
{
    auto d = makeDevice();
    d->responder.on(0x01, reply(bytes({5, 7})));
    cLinkDevice::legacyVersion v;
    v.major = 9;
    QCOMPARE(d->device->getVersion(2, &v), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x01, 0x02})));
    QCOMPARE(int(v.minor), 5);
    QCOMPARE(int(v.major), 0);
}

void tst_LinkDevice::getVersionClearsOnFailure()
{
    auto d = makeDevice();
    cLinkDevice::legacyVersion v;
    v.major = 3;
    v.minor = 1;
    QCOMPARE(d->device->getVersion(0, &v), 3);
    QCOMPARE(int(v.major), 0);
    QCOMPARE(int(v.minor), 0);
}

void tst_LinkDevice::userGet()
{
    auto d = makeDevice();
    d->responder.on(0x0A, reply(bytes({0x34, 0x12})));
    ushort value = 0;
    QCOMPARE(d->device->UserGet(234, &value), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x0A, 234, 0})));
    QCOMPARE(value, ushort(0x1234));

    d->responder.remove(0x0A);
    value = 77;
    QCOMPARE(d->device->UserGet(51, &value), 3);
    QCOMPARE(value, ushort(77)); // untouched on failure
}

void tst_LinkDevice::transport_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("stop") << 0;
    QTest::newRow("play") << 1;
    QTest::newRow("record") << 2;
}

void tst_LinkDevice::transport()
{
    QFETCH(int, mode);
    auto d = makeDevice();
    d->responder.on(0x11, fixedAck());
    QCOMPARE(d->device->SetTransport(cLinkDevice::TransportMode(mode)), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x11, mode})));
    d->responder.on(0x11, reply(bytes({0x00})));
    QCOMPARE(d->device->SetTransport(cLinkDevice::TransportMode(mode)), 5);
}

void tst_LinkDevice::getTransportPassesRawMode()
{
    auto d = makeDevice();
    d->responder.on(0x12, reply(bytes({7})));
    cLinkDevice::TransportMode mode = cLinkDevice::kStop;
    QCOMPARE(d->device->GetTransport(&mode), 0);
    QCOMPARE(d->responder.requests().value(0), QByteArray::fromHex("A500031296AE"));
    QCOMPARE(int(mode), 7);
}

void tst_LinkDevice::getTimeCode()
{
    auto d = makeDevice();
    d->responder.on(0x13, reply(le32(0x0A0B0C0D) + le32(12345) + le32(0x00010203)));
    uint tc = 0, second = 0, file = 0;
    QCOMPARE(d->device->GetTimeCode(&tc, &second, &file), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x13})));
    QCOMPARE(tc, 0x0A0B0C0Du);
    QCOMPARE(second, 12345u);
    QCOMPARE(file, 0x00010203u);
    QCOMPARE(d->device->GetTimeCode(nullptr, nullptr, &file), 0);
}

void tst_LinkDevice::getMeters()
{
    auto d = makeDevice();
    QByteArray levels24;
    for (int i = 0; i < 24; ++i)
        levels24.append(char(i + 10));
    d->responder.on(0x3E, reply(bytes({1}) + levels24));
    QByteArray levels("x");
    QCOMPARE(d->device->GetMeters(1, &levels), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x3E, 1})));
    QCOMPARE(levels, QByteArray("x") + levels24); // appended
}

void tst_LinkDevice::metersGet()
{
    auto d = makeDevice();
    d->responder.on(0x0D, reply(bytes({1, 2, 3, 4, 5, 6, 7, 8})));
    QByteArray raw;
    QCOMPARE(d->device->MetersGet(&raw), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x0D})));
    QCOMPARE(raw, bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    QList<cLinkDevice::meterChannel> pairs;
    QCOMPARE(d->device->MetersGet(&pairs), 0);
    QCOMPARE(pairs.size(), 4);
    QCOMPARE(int(pairs[3].first), 7);
    QCOMPARE(int(pairs[3].second), 8);
    QCOMPARE(d->device->MetersGet().size(), 4);
}

void tst_LinkDevice::deviceInfo_data()
{
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("replyLength");
    const int lengths[] = {8, 8, 7, 11, 10, 10, 8};
    for (int s = 0; s < 7; ++s)
        QTest::addRow("selector %d", s) << s << lengths[s];
}

void tst_LinkDevice::deviceInfo()
{
    QFETCH(int, selector);
    QFETCH(int, replyLength);
    auto d = makeDevice();
    QByteArray body;
    for (int i = 3; i < replyLength - 2; ++i)
        body.append(char(0x40 + i));
    d->responder.on(0x41, reply(body));
    uchar out[16];
    memset(out, 0xEE, sizeof(out));
    QCOMPARE(d->device->GetDeviceInfo(uchar(selector), out, nullptr), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x41, selector})));
    for (int i = 0; i < 16; ++i) {
        // Only the 11-byte reply copies anything: byte 4 into out[4].
        const int expected =
            (replyLength >= 11 && i >= 4 && i <= replyLength - 7) ? 0x44 + (i - 4) : 0xEE;
        QCOMPARE(int(out[i]), expected);
    }
}

void tst_LinkDevice::deviceInfoSelectorOutOfRange()
{
    auto d = makeDevice();
    uchar out[16] = {};
    QCOMPARE(d->device->GetDeviceInfo(7, out, nullptr), int(cLinkSerial::kWriteFailed));
    QVERIFY(d->port->written().isEmpty());
}

void tst_LinkDevice::takeList()
{
    auto d = makeDevice();
    d->responder.on(0x38, dataReply(0x38, le32(1005) + le32(1004) + le32(0xFFFFFFFF)));
    QList<uint> takes;
    QCOMPARE(d->device->GetTakeList(1, 10, takes), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x38}) + le32(1) + bytes({10})));
    QCOMPARE(takes, (QList<uint>{1005, 1004, 0xFFFFFFFF}));
}

void tst_LinkDevice::takeListOddPayload_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("count");
    QTest::newRow("ten bytes") << le32(1) + le32(2) + bytes({9, 9}) << 2;
    QTest::newRow("three bytes") << bytes({1, 2, 3}) << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QByteArray most;
    for (int i = 0; i < 63; ++i)
        most += le32(quint32(i));
    QTest::newRow("63 takes") << most << 63;
}

void tst_LinkDevice::takeListOddPayload()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, count);
    auto d = makeDevice();
    d->responder.on(0x38, dataReply(0x38, payload));
    QList<uint> takes{42};
    QCOMPARE(d->device->GetTakeList(1, 63, takes), 0);
    QCOMPARE(takes.size(), count);
}

void tst_LinkDevice::takeListClearedOnFailure()
{
    auto d = makeDevice();
    d->responder.on(0x38, statusAck(3));
    QList<uint> takes{1, 2};
    QCOMPARE(d->device->GetTakeList(1, 3, takes), 773);
    QVERIFY(takes.isEmpty());
}

void tst_LinkDevice::takeParam()
{
    auto d = makeDevice();
    d->responder.on(0x39, dataReply(0x39, QByteArray("SC12\0", 5)));
    uchar value[cLinkDevice::kMaxPayload];
    int length = -1;
    QCOMPARE(d->device->GetTakeParam(1004, 2, value, length), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x39}) + le32(1004) + bytes({2})));
    QCOMPARE(length, 5);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(value), length), QByteArray("SC12\0", 5));

    d->responder.on(0x39, statusAck(5, "No such take"));
    length = -1;
    QCOMPARE(d->device->GetTakeParam(99, 2, value, length), 1285);
    QCOMPARE(length, -1);
}

void tst_LinkDevice::setTakeParamLengths_data()
{
    QTest::addColumn<int>("valueBytes");
    QTest::newRow("empty text: one NUL") << 1;
    QTest::newRow("flag") << 1;
    QTest::newRow("ten") << 10;
    QTest::newRow("largest") << cLinkDevice::kMaxTakeParamBytes;
}

void tst_LinkDevice::setTakeParamLengths()
{
    QFETCH(int, valueBytes);
    auto d = makeDevice();
    d->responder.on(0x3A, statusAck(0));
    QByteArray value(valueBytes, 'a');
    value[valueBytes - 1] = '\0';
    QCOMPARE(d->device->SetTakeParam(1004, 3, reinterpret_cast<const uchar*>(value.constData()),
                                     valueBytes),
             0);
    const QByteArray sent = d->responder.requests().value(0);
    QCOMPARE(int(uchar(sent[2])), valueBytes + 8);
    QCOMPARE(sent, request(0, bytes({0x3A}) + le32(1004) + bytes({3}) + value));
}

void tst_LinkDevice::setTakeParamRefusesOversized()
{
    auto d = makeDevice();
    d->responder.on(0x3A, statusAck(0));
    const QByteArray value(cLinkDevice::kMaxTakeParamBytes + 1, 'a');
    QCOMPARE(d->device->SetTakeParam(1004, 3, reinterpret_cast<const uchar*>(value.constData()),
                                     int(value.size())),
             int(cLinkSerial::kWriteFailed));
    QVERIFY(d->port->written().isEmpty());
    QCOMPARE(d->device->SetTakeParam(1004, 3, nullptr, -1), int(cLinkSerial::kWriteFailed));
}

void tst_LinkDevice::falseTake()
{
    auto d = makeDevice();
    d->responder.on(0x3B, statusAck(0));
    QCOMPARE(d->device->SetFalseTake(0x01020304), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x3B, 4, 3, 2, 1})));
    d->responder.on(0x3B, statusAck(2));
    QCOMPARE(d->device->SetFalseTake(1), 517);
}

void tst_LinkDevice::takeListChanges_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("take");
    QTest::newRow("change") << bytes({0x03}) + le32(1005) << 3 << 1005;
    QTest::newRow("none") << bytes({0x00}) + le32(0) << 0 << 0;
    QTest::newRow("four bytes leave outputs") << bytes({1, 2, 3, 4}) << -1 << -2;
    QTest::newRow("empty leaves outputs") << QByteArray() << -1 << -2;
}

void tst_LinkDevice::takeListChanges()
{
    QFETCH(QByteArray, payload);
    QFETCH(int, change);
    QFETCH(int, take);
    auto d = makeDevice();
    d->responder.on(0x4E, dataReply(0x4E, payload));
    int gotChange = -1;
    int gotTake = -2;
    QCOMPARE(d->device->GetTakeListChanges(gotChange, gotTake), 0);
    QCOMPARE(d->responder.requests().value(0), request(0, bytes({0x4E})));
    QCOMPARE(gotChange, change);
    QCOMPARE(gotTake, take);
}

void tst_LinkDevice::lastAckError()
{
    auto d = makeDevice();
    d->responder.on(0x3B, statusAck(5, "Only the last take"));
    QCOMPARE(d->device->SetFalseTake(1), 1285);
    QCOMPARE(d->device->getLastAckErr(), std::string("Only the last take"));
    d->responder.on(0x3B, statusAck(0));
    QCOMPARE(d->device->SetFalseTake(1), 0);
    QCOMPARE(d->device->getLastAckErr(), std::string());
}

void tst_LinkDevice::addressInRequests()
{
    auto zero = makeDevice(0);
    auto one = makeDevice(1);
    cLinkDevice::TransportMode mode;
    zero->device->GetTransport(&mode);
    one->device->GetTransport(&mode);
    const QByteArray a = zero->responder.requests().value(0);
    const QByteArray b = one->responder.requests().value(0);
    QCOMPARE(int(uchar(b[1])), 1);
    QCOMPARE(a.right(2), b.right(2)); // the address does not enter the check bytes
}

void tst_LinkDevice::textValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("scene") << "12A" << true;
    QTest::newRow("246 characters") << QString(246, 'n') << true;
    QTest::newRow("247 characters") << QString(247, 'n') << false;
    QTest::newRow("non-ASCII") << QString::fromUtf8("caf\xc3\xa9") << false;
    QTest::newRow("embedded NUL") << QString(QChar(0)) + "x" << false;
}

void tst_LinkDevice::textValue()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QByteArray wire("unchanged");
    QCOMPARE(cLinkDevice::makeTextValue(text, &wire), ok);
    if (ok) {
        QCOMPARE(wire.size(), text.size() + 1);
        QCOMPARE(wire.back(), '\0');
    } else {
        QCOMPARE(wire, QByteArray("unchanged"));
    }
}

QTEST_APPLESS_MAIN(tst_LinkDevice)
#include "tst_linkdevice.moc"

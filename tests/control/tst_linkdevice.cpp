// Every command of the link: the request bytes it sends and how it decodes
// the reply (or leaves its outputs on failure), over an in-memory port
// answered by a fake recorder.

#include "FakeRecorder.h"
#include "cLinkDevice.h"
#include "cMemoryPort.h"

#include <QTest>

#include <functional>

using namespace FakeRecorder;

namespace
{

struct Device {
    cMemoryPort* port = nullptr;
    std::unique_ptr<cLinkDevice> device;
    Responder responder;
    explicit Device(uchar address = 0)
    {
        auto p = std::make_unique<cMemoryPort>();
        port = p.get();
        device = std::make_unique<cLinkDevice>(std::move(p), address);
        device->openCommPort();
        responder.attach(*port);
    }
};

// One command run on the device; returns its result code and outputs as text.
using Call = std::function<QString(cLinkDevice&)>;

QString out(int rc, const QString& outputs = QString())
{
    return QString::number(rc) + ' ' + outputs;
}
QString hexOf(const uchar* data, int length)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(data), length).toHex());
}
QString ids(const QList<uint>& takes)
{
    QStringList s;
    for (uint t : takes)
        s << QString::number(t);
    return s.join(',');
}
Call version(uchar selector, uchar major, uchar minor)
{
    return [=](cLinkDevice& d) {
        cLinkDevice::legacyVersion v;
        v.major = major;
        v.minor = minor;
        const int rc = d.getVersion(selector, &v);
        return out(rc, QStringLiteral("%1.%2").arg(v.major).arg(v.minor));
    };
}
Call takeList(QList<uint> takes)
{
    return [=](cLinkDevice& d) mutable {
        const int rc = d.GetTakeList(1, 10, takes);
        return out(rc, ids(takes));
    };
}
Call setTakeParam(const QByteArray& value)
{
    return [=](cLinkDevice& d) {
        return out(d.SetTakeParam(1004, 3, reinterpret_cast<const uchar*>(value.constData()),
                                  int(value.size())));
    };
}
Call changes()
{
    return [](cLinkDevice& d) {
        int change = -1, take = -2;
        const int rc = d.GetTakeListChanges(change, take);
        return out(rc, QStringLiteral("%1 %2").arg(change).arg(take));
    };
}
QByteArray text(int bytes)
{
    QByteArray value(bytes, 'a');
    value[bytes - 1] = '\0';
    return value;
}

} // namespace

Q_DECLARE_METATYPE(Call)

class tst_LinkDevice : public QObject
{
    Q_OBJECT
private slots:
    void command_data();
    void command();
    void lastAckErrorFollowsEachExchange();
    void addressInRequests();
};

void tst_LinkDevice::command_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("answer");  // empty: no answer (time-out)
    QTest::addColumn<QByteArray>("request"); // command and arguments; empty: nothing sent
    QTest::addColumn<QString>("result");
    const QByteArray none;

    QTest::newRow("firmware version")
        << version(0, 0, 0) << reply(bytes({9, 2})) << bytes({0x01, 0}) << "0 2.9";
    QTest::newRow("device kind fills only minor")
        << version(2, 9, 9) << reply(bytes({5, 7})) << bytes({0x01, 2}) << "0 0.5";
    QTest::newRow("version cleared on failure")
        << version(0, 3, 1) << none << bytes({0x01, 0}) << "3 0.0";

    auto userGet = [](ushort id) {
        return Call([id](cLinkDevice& d) {
            ushort value = 77;
            const int rc = d.UserGet(id, &value);
            return out(rc, QString::number(value));
        });
    };
    QTest::newRow("user parameter")
        << userGet(234) << reply(bytes({0x34, 0x12})) << bytes({0x0A, 234, 0}) << "0 4660";
    QTest::newRow("user parameter failed") << userGet(51) << none << bytes({0x0A, 51, 0}) << "3 77";

    for (int mode : {0, 1, 2}) {
        const Call set = [mode](cLinkDevice& d) {
            return out(d.SetTransport(cLinkDevice::TransportMode(mode)));
        };
        QTest::addRow("set transport %d", mode) << set << fixedAck() << bytes({0x11, mode}) << "0 ";
        QTest::addRow("set transport %d refused", mode)
            << set << reply(bytes({0})) << bytes({0x11, mode}) << "5 ";
    }
    QTest::newRow("transport passed on raw") << Call([](cLinkDevice& d) {
        cLinkDevice::TransportMode mode = cLinkDevice::kStop;
        const int rc = d.GetTransport(&mode);
        return out(rc, QString::number(mode));
    }) << reply(bytes({7})) << bytes({0x12}) << "0 7";
    QTest::newRow("timecode") << Call([](cLinkDevice& d) {
        uint tc = 0, second = 0, file = 0;
        const int rc = d.GetTimeCode(&tc, &second, &file);
        return out(rc, QStringLiteral("%1 %2 %3").arg(tc, 0, 16).arg(second).arg(file, 0, 16));
    }) << reply(le32(0x0A0B0C0D) + le32(12345) + le32(0x00010203))
                              << bytes({0x13}) << "0 a0b0c0d 12345 10203";

    QByteArray levels;
    for (int i = 0; i < 24; ++i)
        levels.append(char(i + 10));
    QTest::newRow("meters appended") << Call([](cLinkDevice& d) {
        QByteArray got("x");
        const int rc = d.GetMeters(1, &got);
        return out(rc, QString::fromLatin1(got.toHex()));
    }) << reply(bytes({1}) + levels) << bytes({0x3E, 1})
                                     << "0 78" + QString::fromLatin1(levels.toHex());
    const QByteArray pairReply = reply(bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    QTest::newRow("meter bytes") << Call([](cLinkDevice& d) {
        QByteArray raw;
        const int rc = d.MetersGet(&raw);
        return out(rc, QString::fromLatin1(raw.toHex()));
    }) << pairReply << bytes({0x0D})
                                 << "0 0102030405060708";
    QTest::newRow("meter pairs") << Call([](cLinkDevice& d) {
        QList<cLinkDevice::meterChannel> pairs;
        const int rc = d.MetersGet(&pairs);
        return out(rc, QStringLiteral("%1 %2.%3")
                           .arg(pairs.size())
                           .arg(pairs.value(3).first)
                           .arg(pairs.value(3).second));
    }) << pairReply << bytes({0x0D})
                                 << "0 4 7.8";

    // Only the 11-byte reply (selector 3) copies anything: byte 4 into out[4].
    const int infoLengths[] = {8, 8, 7, 11, 10, 10, 8};
    for (int s = 0; s <= 7; ++s) {
        QByteArray body;
        for (int i = 3; s < 7 && i < infoLengths[s] - 2; ++i)
            body.append(char(0x40 + i));
        const Call info = [s](cLinkDevice& d) {
            uchar got[8];
            memset(got, 0xEE, sizeof(got));
            const int rc = d.GetDeviceInfo(uchar(s), got, nullptr);
            return out(rc, hexOf(got, 8));
        };
        if (s < 7)
            QTest::addRow("device info %d", s)
                << info << reply(body) << bytes({0x41, s})
                << (s == 3 ? "0 eeeeeeee44eeeeee" : "0 eeeeeeeeeeeeeeee");
        else
            QTest::newRow("device info selector refused")
                << info << reply(body) << none << "1 eeeeeeeeeeeeeeee";
    }

    const QByteArray listRequest = bytes({0x38}) + le32(1) + bytes({10});
    QTest::newRow("take list") << takeList({42})
                               << dataReply(0x38, le32(1005) + le32(1004) + le32(0xFFFFFFFF))
                               << listRequest << "0 1005,1004,4294967295";
    QTest::newRow("take list of ten bytes")
        << takeList({42}) << dataReply(0x38, le32(1) + le32(2) + bytes({9, 9})) << listRequest
        << "0 1,2";
    QTest::newRow("take list of three bytes")
        << takeList({42}) << dataReply(0x38, bytes({1, 2, 3})) << listRequest << "0 ";
    QByteArray most;
    QList<uint> mostIds;
    for (int i = 0; i < 63; ++i) {
        most += le32(quint32(i));
        mostIds << uint(i);
    }
    QTest::newRow("take list of 63")
        << takeList({42}) << dataReply(0x38, most) << listRequest << "0 " + ids(mostIds);
    QTest::newRow("take list cleared on failure")
        << takeList({1, 2}) << statusAck(3) << listRequest << "773 ";

    const Call param = [](cLinkDevice& d) {
        uchar value[cLinkDevice::kMaxPayload];
        int length = -1;
        const int rc = d.GetTakeParam(1004, 2, value, length);
        return out(rc, QStringLiteral("%1 %2").arg(length).arg(hexOf(value, qMax(length, 0))));
    };
    const QByteArray paramRequest = bytes({0x39}) + le32(1004) + bytes({2});
    QTest::newRow("take parameter")
        << param << dataReply(0x39, QByteArray("SC12\0", 5)) << paramRequest << "0 5 5343313200";
    QTest::newRow("take parameter refused")
        << param << statusAck(5, "No such take") << paramRequest << "1285 -1 ";

    // L = value bytes + 8; an empty text is one NUL.
    for (int n : {1, 10, cLinkDevice::kMaxTakeParamBytes})
        QTest::addRow("set take parameter of %d bytes", n)
            << setTakeParam(text(n)) << statusAck(0)
            << bytes({0x3A}) + le32(1004) + bytes({3}) + text(n) << "0 ";
    QTest::newRow("set take parameter too long")
        << setTakeParam(text(cLinkDevice::kMaxTakeParamBytes + 1)) << statusAck(0) << none << "1 ";
    QTest::newRow("set take parameter negative length")
        << Call([](cLinkDevice& d) { return out(d.SetTakeParam(1004, 3, nullptr, -1)); })
        << statusAck(0) << none << "1 ";

    const Call falseTake = [](cLinkDevice& d) { return out(d.SetFalseTake(0x01020304)); };
    QTest::newRow("false take") << falseTake << statusAck(0) << bytes({0x3B, 4, 3, 2, 1}) << "0 ";
    QTest::newRow("false take refused")
        << falseTake << statusAck(2) << bytes({0x3B, 4, 3, 2, 1}) << "517 ";

    QTest::newRow("changes") << changes() << dataReply(0x4E, bytes({3}) + le32(1005))
                             << bytes({0x4E}) << "0 3 1005";
    QTest::newRow("no changes") << changes() << dataReply(0x4E, bytes({0}) + le32(0))
                                << bytes({0x4E}) << "0 0 0";
    QTest::newRow("changes of four bytes leave outputs")
        << changes() << dataReply(0x4E, bytes({1, 2, 3, 4})) << bytes({0x4E}) << "0 -1 -2";
    QTest::newRow("changes empty leave outputs")
        << changes() << dataReply(0x4E, QByteArray()) << bytes({0x4E}) << "0 -1 -2";
}

void tst_LinkDevice::command()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, request);
    QFETCH(QString, result);
    Device d;
    d.port->setResponder([&](const QByteArray&) { return answer; });
    QCOMPARE(call(*d.device), result);
    QCOMPARE(d.port->written(), request.isEmpty() ? QByteArray() : packet(0, request));
}

void tst_LinkDevice::lastAckErrorFollowsEachExchange()
{
    Device d;
    d.responder.on(0x3B, statusAck(5, "Only the last take"));
    QCOMPARE(d.device->SetFalseTake(1), 1285);
    QCOMPARE(d.device->getLastAckErr(), std::string("Only the last take"));
    d.responder.on(0x3B, statusAck(0));
    QCOMPARE(d.device->SetFalseTake(1), 0);
    QCOMPARE(d.device->getLastAckErr(), std::string());
}

void tst_LinkDevice::addressInRequests()
{
    Device d(1);
    cLinkDevice::TransportMode mode;
    d.device->GetTransport(&mode);
    QCOMPARE(d.port->written(), packet(1, bytes({0x12})));
}

QTEST_APPLESS_MAIN(tst_LinkDevice)
#include "tst_linkdevice.moc"

// The recorder link over an in-memory port: damage detection, the framing
// layer's result codes, time-outs and port handling, and what the commands
// send and leave in their outputs when the recorder refuses or answers short.
// Check-byte values and decoding that succeeds are exercised against r9k-sim.

#include "FakeRecorder.h"
#include "cLinkDevice.h"
#include "cMemoryPort.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>

using namespace FakeRecorder;

namespace
{

struct Line {
    cMemoryPort* port;
    std::unique_ptr<cLinkDevice> device;
};

// A device on an in-memory port that answers every request with answer.
Line makeLine(bool open = true, const QByteArray& answer = QByteArray())
{
    auto port = std::make_unique<cMemoryPort>();
    cMemoryPort* raw = port.get();
    raw->setResponder([answer](const QByteArray&) { return answer; });
    auto device = std::make_unique<cLinkDevice>(std::move(port));
    if (open)
        device->openCommPort();
    return Line{raw, std::move(device)};
}

// A variable request (sync .. command) in a buffer big enough for any reply;
// a reply that does not come in time (a header alone, nothing) gives 3.
struct Request {
    uchar buffer[cLinkSerial::kTxBufferSize] = {};
    int length = 4;
    QString text = QStringLiteral("left over");
    explicit Request(int command)
    {
        buffer[0] = 0xA5;
        buffer[3] = uchar(command);
    }
    int run(cLinkSerial& serial) { return serial.TxRxData(buffer, length, text, true); }
};

QByteArray damaged(QByteArray packet, int at, int value)
{
    packet[at] = char(value);
    return packet;
}

// A fixed-length exchange: request, reply length (0: an acknowledgement),
// answer, result, what went out and byte 3 of the caller's buffer after.
struct Fixed {
    QByteArray request;
    int replyLength;
    QByteArray answer;
    int expected;
    QByteArray written;
    int byte3;
};

struct PortState {
    bool open, writeFails, readError;
    int expected, flushes;
};

// One command run on the device; returns its result code and outputs as text.
using Call = std::function<QString(cLinkDevice&)>;

QString out(int rc, const QString& outputs = QString())
{
    return QString::number(rc) + ' ' + outputs;
}
Call takeList(QList<uint> takes)
{
    return [=](cLinkDevice& d) mutable {
        const int rc = d.GetTakeList(1, 10, takes);
        QStringList s;
        for (uint t : takes)
            s << QString::number(t);
        return out(rc, s.join(','));
    };
}
Call setTakeParam(const QByteArray& value)
{
    return [=](cLinkDevice& d) {
        return out(d.SetTakeParam(1004, 3, reinterpret_cast<const uchar*>(value.constData()),
                                  int(value.size())));
    };
}
QByteArray text(int bytes)
{
    QByteArray value(bytes, 'a');
    value[bytes - 1] = '\0';
    return value;
}

} // namespace

Q_DECLARE_METATYPE(Fixed)
Q_DECLARE_METATYPE(PortState)
Q_DECLARE_METATYPE(Call)

class tst_Link : public QObject
{
    Q_OBJECT
private slots:
    void everyLengthVerifiesAndDamageIsDetected();
    void fixedExchange_data();
    void fixedExchange();
    void portFailures_data();
    void portFailures();
    void halfReplyTimesOutAndEmptiesInput();
    void variableReply_data();
    void variableReply();
    void variableReplyTimeouts_data();
    void variableReplyTimeouts();
    void oversizedRequestRefusedUnsent();
    void staleInputIsDiscardedBeforeRequest();
    void floodNeverOverruns();
    void command_data();
    void command();
    void lastAckErrorFollowsEachExchange();
};

// Packets made with addCheckBytes verify for every L (read unsigned, so all
// bytes of L >= 128 count) and either address; their check bytes are never 0;
// flipping any one bit after the length byte is detected.
void tst_Link::everyLengthVerifiesAndDamageIsDetected()
{
    QRandomGenerator rng(7);
    for (int length = 2; length <= 255; ++length) {
        uchar p[LinkFrame::kMaxPacket] = {};
        p[0] = LinkFrame::kSync;
        p[2] = uchar(length);
        for (int i = 3; i <= length; ++i)
            p[i] = uchar(rng.bounded(256));
        for (uchar address : {uchar(0), LinkFrame::kHostAddress}) {
            p[1] = address;
            LinkFrame::addCheckBytes(p);
            QVERIFY2(LinkFrame::verify(p), qPrintable(QString::number(length)));
            QVERIFY(p[length + 1] != 0 && p[length + 2] != 0);
        }
        for (int at = 3; at <= length + 2; ++at) {
            const uchar keep = p[at];
            p[at] = uchar(keep ^ (1 << rng.bounded(8)));
            QVERIFY2(!LinkFrame::verify(p),
                     qPrintable(QStringLiteral("L %1 at %2").arg(length).arg(at)));
            p[at] = keep;
        }
    }
}

void tst_Link::fixedExchange_data()
{
    QTest::addColumn<Fixed>("f");
    const QByteArray get = QByteArray::fromHex("A5000012");
    const QByteArray sentGet = QByteArray::fromHex("A500031296AE");
    const QByteArray set = QByteArray::fromHex("A500001101");
    const QByteArray sentSet = QByteArray::fromHex("A500041101D86B");
    const QByteArray good = reply(bytes({0x02}));
    QTest::newRow("reply") << Fixed{get, 6, good, 0, sentGet, 2};
    QTest::newRow("check bytes wrong") << Fixed{get, 6, damaged(good, 3, 3), 4, sentGet, 0x12};
    QTest::newRow("no reply") << Fixed{get, 6, {}, 3, sentGet, 0x12};
    // Right size on the line but announcing another length.
    QTest::newRow("length byte disagrees")
        << Fixed{get, 6, reply(bytes({0x02, 0x03})).left(6), 6, sentGet, 0x12};
    QTest::newRow("request below 4 bytes") << Fixed{get.left(3), 6, good, 1, {}, 0};
    QTest::newRow("ack not F0") << Fixed{set, 0, reply(bytes({0xF1})), 5, sentSet, 0x11};
}

void tst_Link::fixedExchange()
{
    QFETCH(Fixed, f);
    Line link = makeLine(true, f.answer);
    uchar buffer[16] = {};
    memcpy(buffer, f.request.constData(), size_t(f.request.size()));
    QCOMPARE(int(link.device->sendData(buffer, uchar(f.request.size()), f.replyLength == 0, true,
                                       uchar(f.replyLength))),
             f.expected);
    QCOMPARE(link.port->written(), f.written);
    QCOMPARE(int(buffer[3]), f.byte3);
}

// A closed port refuses before writing; a failed write flushes; a read error
// is a time-out.
void tst_Link::portFailures_data()
{
    QTest::addColumn<PortState>("p");
    QTest::newRow("closed") << PortState{false, false, false, 2, 0};
    QTest::newRow("write fails") << PortState{true, true, false, 1, 2};
    QTest::newRow("read error") << PortState{true, false, true, 3, 0};
}

void tst_Link::portFailures()
{
    QFETCH(PortState, p);
    Line link = makeLine(p.open, statusAck(0));
    link.port->setWriteFails(p.writeFails);
    link.port->setReadError(p.readError);
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.device->sendData(buffer, 4, false, true, 6)), p.expected);
    Request r(0x4E);
    QCOMPARE(r.run(*link.device), p.expected);
    QCOMPARE(link.port->flushCount(), p.flushes);
    if (!p.open)
        QVERIFY(link.port->written().isEmpty());
}

void tst_Link::halfReplyTimesOutAndEmptiesInput()
{
    const QByteArray whole = dataReply(0x38, le32(1) + le32(2) + le32(3));
    Line link = makeLine(true, whole.left(9));
    Request r(0x38);
    QCOMPARE(r.run(*link.device), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
    QCOMPARE(link.port->flushCount(), 1);

    uchar buffer[32] = {0xA5, 0x00, 0x00, 0x13};
    link.port->setResponder([](const QByteArray&) { return reply(QByteArray(14, '\1')).left(10); });
    QCOMPARE(int(link.device->sendData(buffer, 4, false, true, 17)), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
}

void tst_Link::variableReply_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("payloadLength");
    QTest::addColumn<QString>("text");
    QTest::newRow("data") << dataReply(0x38, le32(7) + le32(9)) << 0 << 8 << "";
    QTest::newRow("busy with text") << statusAck(3, "Busy") << 773 << 6 << "Busy";
    QTest::newRow("text without NUL") << statusAck(2, "abc", false) << 517 << 4 << "abc";
    QTest::newRow("text stops at NUL")
        << reply(bytes({0xF0, 1}) + QByteArray("ab\0cd\0", 6)) << 261 << 7 << "ab";
    // A bare acknowledgement has no status byte: success, empty payload.
    QTest::newRow("bare ack") << fixedAck() << 0 << 0 << "";
    QTest::newRow("check bytes") << damaged(statusAck(0), 4, 1) << 4 << 1 << "";
    QTest::newRow("no sync") << damaged(statusAck(0), 0, 0x5A) << 6 << 4 << "";
    QTest::newRow("not to host") << damaged(statusAck(0), 1, 0) << 6 << 4 << "";
    QTest::newRow("L below 3") << bytes({0xA5, 0xFE, 0x02, 0x00, 0x00}) << 6 << 4 << "";
    // L >= 128 is read unsigned and verified over all of its bytes.
    QByteArray payload(240, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    const QByteArray longReply = dataReply(0x39, payload);
    QTest::newRow("long reply") << longReply << 0 << 240 << "";
    QTest::newRow("long reply damaged")
        << damaged(longReply, 240, longReply[240] ^ 4) << 4 << 240 << "";
}

void tst_Link::variableReply()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    QFETCH(int, payloadLength);
    QFETCH(QString, text);
    Line link = makeLine(true, answer);
    Request r(0x38);
    QCOMPARE(r.run(*link.device), expected);
    QCOMPARE(r.text, text);
    QCOMPARE(r.length, payloadLength);
    if (expected == 0)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.buffer), answer.size()), answer);
}

void tst_Link::variableReplyTimeouts_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("timeout");
    QTest::newRow("take parameter write") << 0x3A << 120000;
    QTest::newRow("changes") << 0x4E << 1000;
}

void tst_Link::variableReplyTimeouts()
{
    QFETCH(int, command);
    QFETCH(int, timeout);
    Line link = makeLine(true, bytes({0xA5, 0xFE, 0x05}));
    Request r(command);
    QCOMPARE(r.run(*link.device), 3);
    QCOMPARE(link.port->lastWaitTimeoutMs(), timeout);
}

void tst_Link::oversizedRequestRefusedUnsent()
{
    Line link = makeLine();
    Request r(0x3A);
    // L = count - 3 + 2 must fit in a byte: 256 bytes need L = 255 ...
    r.length = 256;
    QCOMPARE(r.run(*link.device), 3); // sent, no answer
    QCOMPARE(uchar(link.port->written()[2]), uchar(255));
    link.port->clearWritten();
    // ... and 257 cannot be framed at all.
    Request big(0x3A);
    big.length = 257;
    QCOMPARE(big.run(*link.device), 1);
    QVERIFY(link.port->written().isEmpty());
}

void tst_Link::staleInputIsDiscardedBeforeRequest()
{
    Line link = makeLine(true, dataReply(0x39, QByteArray("NEW\0", 4)));
    // A late reply to an earlier exchange and some noise are waiting...
    link.port->feed(dataReply(0x39, QByteArray("OLD\0", 4)) + bytes({0x13, 0x37}));
    Request r(0x39);
    // ... and are not taken as this request's reply.
    QCOMPARE(r.run(*link.device), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.buffer + 4), 3), QByteArray("NEW"));
}

// A device that floods the line: whatever comes, each exchange ends with a
// failure code and no buffer is overrun (run under the address sanitizer in
// the fuzz build).
void tst_Link::floodNeverOverruns()
{
    QRandomGenerator rng(3);
    Line link = makeLine();
    link.port->setResponder([&rng](const QByteArray&) {
        QByteArray noise(64 * 1024, '\0');
        for (char& c : noise)
            c = char(rng.bounded(256));
        return bytes({0xA5, 0xFE, 0xFF}) + noise;
    });
    for (int i = 0; i < 20; ++i) {
        Request r(0x38);
        const int rc = r.run(*link.device);
        QVERIFY2(rc == 4 || rc == 6 || (rc & 0xFF) == 5, qPrintable(QString::number(rc)));
        QVERIFY(r.length <= 252);
        uchar fixed[32] = {0xA5, 0x00, 0x00, 0x13};
        const int f = link.device->sendData(fixed, 4, false, true, 17);
        QVERIFY2(f == 4 || f == 6, qPrintable(QString::number(f)));
    }
}

void tst_Link::command_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<QByteArray>("answer");  // empty: no answer (time-out)
    QTest::addColumn<QByteArray>("request"); // command and arguments; empty: nothing sent
    QTest::addColumn<QString>("result");
    const QByteArray none;

    QTest::newRow("version cleared on failure") << Call([](cLinkDevice& d) {
        cLinkDevice::legacyVersion v;
        v.major = 3;
        v.minor = 1;
        const int rc = d.getVersion(0, &v);
        return out(rc, QStringLiteral("%1.%2").arg(v.major).arg(v.minor));
    }) << none << bytes({0x01, 0}) << "3 0.0";
    QTest::newRow("user parameter failed") << Call([](cLinkDevice& d) {
        ushort value = 77;
        const int rc = d.UserGet(51, &value);
        return out(rc, QString::number(value));
    }) << none << bytes({0x0A, 51, 0}) << "3 77";
    QTest::newRow("set transport refused")
        << Call([](cLinkDevice& d) { return out(d.SetTransport(cLinkDevice::kRecord)); })
        << reply(bytes({0})) << bytes({0x11, 2}) << "5 ";

    const QByteArray listRequest = bytes({0x38}) + le32(1) + bytes({10});
    QTest::newRow("take list of ten bytes")
        << takeList({42}) << dataReply(0x38, le32(1) + le32(2) + bytes({9, 9})) << listRequest
        << "0 1,2";
    QByteArray most;
    QStringList mostIds;
    for (int i = 0; i < 63; ++i) {
        most += le32(quint32(i));
        mostIds << QString::number(i);
    }
    QTest::newRow("take list of 63")
        << takeList({42}) << dataReply(0x38, most) << listRequest << "0 " + mostIds.join(',');
    QTest::newRow("take list cleared on failure")
        << takeList({1, 2}) << statusAck(3) << listRequest << "773 ";

    QTest::newRow("take parameter refused") << Call([](cLinkDevice& d) {
        uchar value[cLinkDevice::kMaxPayload];
        int length = -1;
        const int rc = d.GetTakeParam(1004, 2, value, length);
        return out(rc, QString::number(length));
    }) << statusAck(5, "No such take") << bytes({0x39}) + le32(1004) + bytes({2})
                                            << "1285 -1";

    // L = value bytes + 8 must fit in one byte.
    const int limit = cLinkDevice::kMaxTakeParamBytes;
    QTest::newRow("set take parameter at the limit")
        << setTakeParam(text(limit)) << statusAck(0)
        << bytes({0x3A}) + le32(1004) + bytes({3}) + text(limit) << "0 ";
    QTest::newRow("set take parameter too long")
        << setTakeParam(text(limit + 1)) << statusAck(0) << none << "1 ";
    QTest::newRow("set take parameter negative length")
        << Call([](cLinkDevice& d) { return out(d.SetTakeParam(1004, 3, nullptr, -1)); })
        << statusAck(0) << none << "1 ";

    QTest::newRow("false take refused")
        << Call([](cLinkDevice& d) { return out(d.SetFalseTake(0x01020304)); }) << statusAck(2)
        << bytes({0x3B, 4, 3, 2, 1}) << "517 ";
    QTest::newRow("changes of four bytes leave outputs") << Call([](cLinkDevice& d) {
        int change = -1, take = -2;
        const int rc = d.GetTakeListChanges(change, take);
        return out(rc, QStringLiteral("%1 %2").arg(change).arg(take));
    }) << dataReply(0x4E, bytes({1, 2, 3, 4})) << bytes({0x4E})
                                                         << "0 -1 -2";
}

void tst_Link::command()
{
    QFETCH(Call, call);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, request);
    QFETCH(QString, result);
    Line line = makeLine(true, answer);
    QCOMPARE(call(*line.device), result);
    QCOMPARE(line.port->written(), request.isEmpty() ? QByteArray() : packet(0, request));
}

void tst_Link::lastAckErrorFollowsEachExchange()
{
    Line line = makeLine(true, statusAck(5, "Only the last take"));
    QCOMPARE(line.device->SetFalseTake(1), 1285);
    QCOMPARE(line.device->getLastAckErr(), std::string("Only the last take"));
    line.port->setResponder([](const QByteArray&) { return statusAck(0); });
    QCOMPARE(line.device->SetFalseTake(1), 0);
    QCOMPARE(line.device->getLastAckErr(), std::string());
}

QTEST_APPLESS_MAIN(tst_Link)
#include "tst_link.moc"

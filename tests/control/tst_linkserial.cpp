// The framing layer's result codes, time-outs and port handling, over an
// in-memory port.

#include "FakeRecorder.h"
#include "cLinkSerial.h"
#include "cMemoryPort.h"

#include <QRandomGenerator>
#include <QTest>

using namespace FakeRecorder;

namespace
{

struct Link {
    cMemoryPort* port;
    std::unique_ptr<cLinkSerial> serial;
};

Link makeLink(bool open = true, const QByteArray& answer = QByteArray())
{
    auto port = std::make_unique<cMemoryPort>();
    cMemoryPort* raw = port.get();
    raw->setResponder([answer](const QByteArray&) { return answer; });
    auto serial = std::make_unique<cLinkSerial>(std::move(port));
    if (open)
        serial->openCommPort();
    return Link{raw, std::move(serial)};
}

// A variable request (sync .. command) in a buffer big enough for any reply.
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

// A fixed-length exchange: the request, the reply length expected (0: an
// acknowledgement), what answered, the result, what went out and byte 3 of
// the caller's buffer afterwards.
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

struct Baud {
    bool open, writeFails;
    int baud, expected, breaks, portBaud, writes;
};

} // namespace

Q_DECLARE_METATYPE(Fixed)
Q_DECLARE_METATYPE(PortState)
Q_DECLARE_METATYPE(Baud)

class tst_LinkSerial : public QObject
{
    Q_OBJECT
private slots:
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
    void baudRate_data();
    void baudRate();
    void sendPktHeaderOperations();
};

void tst_LinkSerial::fixedExchange_data()
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
    QTest::newRow("too short") << Fixed{get, 6, reply(bytes({})), 3, sentGet, 0x12};
    // Right size on the line but announcing another length.
    QTest::newRow("length byte disagrees")
        << Fixed{get, 6, reply(bytes({0x02, 0x03})).left(6), 6, sentGet, 0x12};
    QTest::newRow("request below 4 bytes") << Fixed{get.left(3), 6, good, 1, {}, 0};
    QTest::newRow("ack") << Fixed{set, 0, fixedAck(), 0, sentSet, 0x11};
    QTest::newRow("ack not F0") << Fixed{set, 0, reply(bytes({0xF1})), 5, sentSet, 0x11};
    QByteArray badSync = damaged(fixedAck(), 0, 0xA4);
    LinkFrame::addCheckBytes(reinterpret_cast<uchar*>(badSync.data()));
    QTest::newRow("ack wrong sync") << Fixed{set, 0, badSync, 5, sentSet, 0x11};
    QTest::newRow("ack missing") << Fixed{set, 0, {}, 3, sentSet, 0x11};
}

void tst_LinkSerial::fixedExchange()
{
    QFETCH(Fixed, f);
    Link link = makeLink(true, f.answer);
    uchar buffer[16] = {};
    memcpy(buffer, f.request.constData(), size_t(f.request.size()));
    QCOMPARE(int(link.serial->sendData(buffer, uchar(f.request.size()), f.replyLength == 0, true,
                                       uchar(f.replyLength))),
             f.expected);
    QCOMPARE(link.port->written(), f.written);
    QCOMPARE(int(buffer[3]), f.byte3);
}

// A closed port refuses before writing; a failed write flushes the port; a
// read error is a time-out that flushes nothing.
void tst_LinkSerial::portFailures_data()
{
    QTest::addColumn<PortState>("p");
    QTest::newRow("closed") << PortState{false, false, false, 2, 0};
    QTest::newRow("write fails") << PortState{true, true, false, 1, 2};
    QTest::newRow("read error") << PortState{true, false, true, 3, 0};
}

void tst_LinkSerial::portFailures()
{
    QFETCH(PortState, p);
    Link link = makeLink(p.open, statusAck(0));
    link.port->setWriteFails(p.writeFails);
    link.port->setReadError(p.readError);
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 6)), p.expected);
    Request r(0x4E);
    QCOMPARE(r.run(*link.serial), p.expected);
    QCOMPARE(link.port->flushCount(), p.flushes);
    if (!p.open)
        QVERIFY(link.port->written().isEmpty());
}

void tst_LinkSerial::halfReplyTimesOutAndEmptiesInput()
{
    const QByteArray whole = dataReply(0x38, le32(1) + le32(2) + le32(3));
    Link link = makeLink(true, whole.left(9));
    Request r(0x38);
    QCOMPARE(r.run(*link.serial), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
    QCOMPARE(link.port->flushCount(), 1);

    uchar buffer[32] = {0xA5, 0x00, 0x00, 0x13};
    link.port->setResponder([](const QByteArray&) { return reply(QByteArray(14, '\1')).left(10); });
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 17)), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
}

void tst_LinkSerial::variableReply_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("payloadLength");
    QTest::addColumn<QString>("text");
    QTest::newRow("data") << dataReply(0x38, le32(7) + le32(9)) << 0 << 8 << "";
    QTest::newRow("ack status 0") << statusAck(0) << 0 << 1 << "";
    QTest::newRow("ack status 0 with text") << statusAck(0, "fine") << 0 << 6 << "";
    QTest::newRow("busy with text") << statusAck(3, "Busy") << 773 << 6 << "Busy";
    QTest::newRow("busy without text") << statusAck(3) << 773 << 1 << "";
    QTest::newRow("error 5") << statusAck(5, "No such take") << 1285 << 14 << "No such take";
    QTest::newRow("text without NUL") << statusAck(2, "abc", false) << 517 << 4 << "abc";
    QTest::newRow("text stops at NUL")
        << reply(bytes({0xF0, 1}) + QByteArray("ab\0cd\0", 6)) << 261 << 7 << "ab";
    // A bare acknowledgement has no status byte: success, empty payload.
    QTest::newRow("bare ack") << fixedAck() << 0 << 0 << "";
    QTest::newRow("check bytes") << damaged(statusAck(0), 4, 1) << 4 << 1 << "";
    QTest::newRow("no sync") << damaged(statusAck(0), 0, 0x5A) << 6 << 4 << "";
    QTest::newRow("not to host") << damaged(statusAck(0), 1, 0) << 6 << 4 << "";
    QTest::newRow("L below 3") << bytes({0xA5, 0xFE, 0x02, 0x00, 0x00}) << 6 << 4 << "";
    QTest::newRow("L zero") << bytes({0xA5, 0xFE, 0x00, 0x00}) << 6 << 4 << "";
    QTest::newRow("nothing") << QByteArray() << 3 << 4 << "";
    QTest::newRow("header only") << bytes({0xA5, 0xFE, 0x10, 0x38}) << 3 << 4 << "";
    // L >= 128 is read unsigned and verified over all of its bytes.
    QByteArray payload(240, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    const QByteArray longReply = dataReply(0x39, payload);
    QTest::newRow("long reply") << longReply << 0 << 240 << "";
    QTest::newRow("long reply damaged")
        << damaged(longReply, 240, longReply[240] ^ 4) << 4 << 240 << "";
}

void tst_LinkSerial::variableReply()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    QFETCH(int, payloadLength);
    QFETCH(QString, text);
    Link link = makeLink(true, answer);
    Request r(0x38);
    QCOMPARE(r.run(*link.serial), expected);
    QCOMPARE(r.text, text);
    QCOMPARE(r.length, payloadLength);
    if (expected == 0)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.buffer), answer.size()), answer);
}

void tst_LinkSerial::variableReplyTimeouts_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("timeout");
    QTest::newRow("take parameter write") << 0x3A << 120000;
    QTest::newRow("take parameter read") << 0x39 << 1000;
    QTest::newRow("changes") << 0x4E << 1000;
}

void tst_LinkSerial::variableReplyTimeouts()
{
    QFETCH(int, command);
    QFETCH(int, timeout);
    Link link = makeLink(true, bytes({0xA5, 0xFE, 0x05}));
    Request r(command);
    QCOMPARE(r.run(*link.serial), 3);
    QCOMPARE(link.port->lastWaitTimeoutMs(), timeout);
}

void tst_LinkSerial::oversizedRequestRefusedUnsent()
{
    Link link = makeLink();
    Request r(0x3A);
    // L = count - 3 + 2 must fit in a byte: 256 bytes need L = 255 ...
    r.length = 256;
    QCOMPARE(r.run(*link.serial), 3); // sent, no answer
    QCOMPARE(uchar(link.port->written()[2]), uchar(255));
    link.port->clearWritten();
    // ... and 257 cannot be framed at all.
    Request big(0x3A);
    big.length = 257;
    QCOMPARE(big.run(*link.serial), 1);
    QVERIFY(link.port->written().isEmpty());
}

void tst_LinkSerial::staleInputIsDiscardedBeforeRequest()
{
    Link link = makeLink(true, dataReply(0x39, QByteArray("NEW\0", 4)));
    // A late reply to an earlier exchange and some noise are waiting...
    link.port->feed(dataReply(0x39, QByteArray("OLD\0", 4)) + bytes({0x13, 0x37}));
    Request r(0x39);
    // ... and are not taken as this request's reply.
    QCOMPARE(r.run(*link.serial), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(r.buffer + 4), 3), QByteArray("NEW"));
}

// A device that floods the line: whatever comes, each exchange ends with a
// failure code and no buffer is overrun (run under the address sanitizer in
// the fuzz build).
void tst_LinkSerial::floodNeverOverruns()
{
    QRandomGenerator rng(3);
    Link link = makeLink();
    link.port->setResponder([&rng](const QByteArray&) {
        QByteArray noise(64 * 1024, '\0');
        for (char& c : noise)
            c = char(rng.bounded(256));
        return bytes({0xA5, 0xFE, 0xFF}) + noise;
    });
    for (int i = 0; i < 20; ++i) {
        Request r(0x38);
        const int rc = r.run(*link.serial);
        QVERIFY2(rc == 4 || rc == 6 || (rc & 0xFF) == 5, qPrintable(QString::number(rc)));
        QVERIFY(r.length <= 252);
        uchar fixed[32] = {0xA5, 0x00, 0x00, 0x13};
        const int f = link.serial->sendData(fixed, 4, false, true, 17);
        QVERIFY2(f == 4 || f == 6, qPrintable(QString::number(f)));
    }
}

// The switch always drops to 9600 and sends a break, then the new rate and
// 255 '@' bytes one write at a time.
void tst_LinkSerial::baudRate_data()
{
    QTest::addColumn<Baud>("b");
    QTest::newRow("115200") << Baud{true, false, 115200, 0, 1, 115200, 255};
    QTest::newRow("unsupported") << Baud{true, false, 250000, 1, 1, 9600, 0};
    QTest::newRow("closed port") << Baud{false, false, 115200, 2, 0, 57600, 0};
    QTest::newRow("preamble write fails") << Baud{true, true, 115200, 1, 1, 115200, 0};
}

void tst_LinkSerial::baudRate()
{
    QFETCH(Baud, b);
    Link link = makeLink(b.open);
    link.port->setBaudRate(57600);
    link.port->setWriteFails(b.writeFails);
    QCOMPARE(link.serial->SetBaudRate(b.baud), b.expected);
    QCOMPARE(link.port->breakCount(), b.breaks);
    QVERIFY(!link.port->breakActive());
    QCOMPARE(link.port->baudRate(), b.portBaud);
    QCOMPARE(link.port->written(), QByteArray(b.writes, '@'));
    QCOMPARE(link.port->writes().size(), b.writes);
}

void tst_LinkSerial::sendPktHeaderOperations()
{
    Link link = makeLink(true, fixedAck());
    link.serial->SetPktHdr(3, 0x12);
    QCOMPARE(link.serial->SendPkt(false), 0);
    QCOMPARE(link.port->written(), QByteArray::fromHex("A500031296AE"));
    link.serial->SetPktHdr(3, 0x12);
    QCOMPARE(link.serial->SendPkt(true), 0);
}

QTEST_APPLESS_MAIN(tst_LinkSerial)
#include "tst_linkserial.moc"

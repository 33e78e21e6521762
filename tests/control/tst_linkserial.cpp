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

Link makeLink(bool open = true)
{
    auto port = std::make_unique<cMemoryPort>();
    cMemoryPort* raw = port.get();
    auto serial = std::make_unique<cLinkSerial>(std::move(port));
    if (open)
        serial->openCommPort();
    return Link{raw, std::move(serial)};
}

// A variable request (sync .. command) in a buffer big enough for any reply.
struct Request {
    uchar buffer[cLinkSerial::kTxBufferSize] = {};
    int length = 4;
    explicit Request(uchar command)
    {
        buffer[0] = 0xA5;
        buffer[1] = 0x00;
        buffer[3] = command;
    }
};

} // namespace

class tst_LinkSerial : public QObject
{
    Q_OBJECT
private slots:
    void fixedReply();
    void fixedReplyFailures_data();
    void fixedReplyFailures();
    void fixedAckExchange_data();
    void fixedAckExchange();
    void closedPort();
    void writeFailureFlushes();
    void halfReplyTimesOutAndEmptiesInput();
    void readErrorIsTimeOutWithoutFlush();
    void variableReply_data();
    void variableReply();
    void variableReplyTimeouts_data();
    void variableReplyTimeouts();
    void longReplyIsVerified();
    void oversizedRequestRefusedUnsent();
    void staleInputIsDiscardedBeforeRequest();
    void floodNeverOverruns();
    void baudRate();
    void baudRateUnsupported();
    void baudRateClosedPort();
    void baudRatePreambleWriteFails();
    void sendPktHeaderOperations();
    void resultTexts_data();
    void resultTexts();
};

void tst_LinkSerial::fixedReply()
{
    Link link = makeLink();
    link.port->setResponder([](const QByteArray&) { return reply(bytes({0x02})); });
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 6)), 0);
    // The request went out with L = length - 1 and its check bytes.
    QCOMPARE(link.port->written(), QByteArray::fromHex("A500031296AE"));
    QCOMPARE(int(buffer[3]), 2);
}

void tst_LinkSerial::fixedReplyFailures_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QByteArray bad = reply(bytes({0x02}));
    bad[3] = char(0x03);
    QTest::newRow("check bytes wrong") << bad << 4;
    QTest::newRow("no answer") << QByteArray() << 3;
    QTest::newRow("too short") << reply(bytes({})) << 3;
    // Right size on the line but announcing another length.
    QByteArray longer = reply(bytes({0x02, 0x03})).left(6);
    QTest::newRow("length byte disagrees") << longer << 6;
}

void tst_LinkSerial::fixedReplyFailures()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    Link link = makeLink();
    link.port->setResponder([answer](const QByteArray&) { return answer; });
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 6)), expected);
    QCOMPARE(int(buffer[3]), 0x12); // the caller's buffer is untouched on failure
}

void tst_LinkSerial::fixedAckExchange_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    QTest::newRow("ack") << fixedAck() << 0;
    QTest::newRow("not F0") << reply(bytes({0xF1})) << 5;
    QByteArray badSync = fixedAck();
    badSync[0] = char(0xA4);
    LinkFrame::addCheckBytes(reinterpret_cast<uchar*>(badSync.data()));
    QTest::newRow("wrong sync") << badSync << 5;
    QTest::newRow("nothing") << QByteArray() << 3;
}

void tst_LinkSerial::fixedAckExchange()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    Link link = makeLink();
    link.port->setResponder([answer](const QByteArray&) { return answer; });
    uchar buffer[8] = {0xA5, 0x00, 0x00, 0x11, 0x01};
    QCOMPARE(int(link.serial->sendData(buffer, 5, true, true, 0)), expected);
    QCOMPARE(link.port->written(), QByteArray::fromHex("A500041101D86B"));
}

void tst_LinkSerial::closedPort()
{
    Link link = makeLink(false);
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 6)), 2);
    Request r(0x4E);
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 2);
    QVERIFY(link.port->written().isEmpty());
}

void tst_LinkSerial::writeFailureFlushes()
{
    Link link = makeLink();
    link.port->setWriteFails(true);
    uchar buffer[16] = {0xA5, 0x00, 0x00, 0x12};
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 6)), 1);
    QCOMPARE(link.port->flushCount(), 1);
    Request r(0x4E);
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 1);
    QCOMPARE(link.port->flushCount(), 2);
}

void tst_LinkSerial::halfReplyTimesOutAndEmptiesInput()
{
    Link link = makeLink();
    const QByteArray whole = dataReply(0x38, le32(1) + le32(2) + le32(3));
    link.port->setResponder([whole](const QByteArray&) { return whole.left(9); });
    Request r(0x38);
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
    QCOMPARE(link.port->flushCount(), 1);

    uchar buffer[32] = {0xA5, 0x00, 0x00, 0x13};
    link.port->setResponder([](const QByteArray&) { return reply(QByteArray(14, '\1')).left(10); });
    QCOMPARE(int(link.serial->sendData(buffer, 4, false, true, 17)), 3);
    QVERIFY(link.port->pendingInput().isEmpty());
}

void tst_LinkSerial::readErrorIsTimeOutWithoutFlush()
{
    Link link = makeLink();
    link.port->setReadError(true);
    Request r(0x4E);
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 3);
    QCOMPARE(link.port->flushCount(), 0);
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
    QByteArray bad = statusAck(0);
    bad[4] = char(0x01);
    QTest::newRow("check bytes") << bad << 4 << 1 << "";
    QByteArray notSync = statusAck(0);
    notSync[0] = char(0x5A);
    QTest::newRow("no sync") << notSync << 6 << 4 << "";
    QByteArray notHost = statusAck(0);
    notHost[1] = char(0x00);
    QTest::newRow("not to host") << notHost << 6 << 4 << "";
    QTest::newRow("L below 3") << bytes({0xA5, 0xFE, 0x02, 0x00, 0x00}) << 6 << 4 << "";
    QTest::newRow("L zero") << bytes({0xA5, 0xFE, 0x00, 0x00}) << 6 << 4 << "";
    QTest::newRow("nothing") << QByteArray() << 3 << 4 << "";
    QTest::newRow("header only") << bytes({0xA5, 0xFE, 0x10, 0x38}) << 3 << 4 << "";
}

void tst_LinkSerial::variableReply()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    QFETCH(int, payloadLength);
    QFETCH(QString, text);
    Link link = makeLink();
    link.port->setResponder([answer](const QByteArray&) { return answer; });
    Request r(0x38);
    QString errorText = QStringLiteral("left over");
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, errorText, true), expected);
    QCOMPARE(errorText, text);
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
    QTest::newRow("take list") << 0x38 << 1000;
    QTest::newRow("changes") << 0x4E << 1000;
}

void tst_LinkSerial::variableReplyTimeouts()
{
    QFETCH(int, command);
    QFETCH(int, timeout);
    Link link = makeLink();
    link.port->setResponder([](const QByteArray&) { return bytes({0xA5, 0xFE, 0x05}); });
    Request r(static_cast<uchar>(command));
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 3);
    QCOMPARE(link.port->lastWaitTimeoutMs(), timeout);
}

void tst_LinkSerial::longReplyIsVerified()
{
    QByteArray payload(240, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7);
    const QByteArray good = dataReply(0x39, payload);
    QCOMPARE(uchar(good[2]), uchar(243));
    Link link = makeLink();
    link.port->setResponder([good](const QByteArray&) { return good; });
    Request r(0x39);
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 0);
    QCOMPARE(r.length, 240);

    QByteArray damaged = good;
    damaged[240] = char(damaged[240] ^ 0x04);
    link.port->setResponder([damaged](const QByteArray&) { return damaged; });
    Request again(0x39);
    QCOMPARE(link.serial->TxRxData(again.buffer, again.length, text, true), 4);
}

void tst_LinkSerial::oversizedRequestRefusedUnsent()
{
    Link link = makeLink();
    Request r(0x3A);
    // L = count - 3 + 2 must fit in a byte: 256 bytes would need L = 255 ...
    r.length = 256;
    QString text;
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 3); // sent, no answer
    QCOMPARE(uchar(link.port->written()[2]), uchar(255));
    link.port->clearWritten();
    // ... and 257 cannot be framed at all.
    Request big(0x3A);
    big.length = 257;
    QCOMPARE(link.serial->TxRxData(big.buffer, big.length, text, true), 1);
    QVERIFY(link.port->written().isEmpty());
}

void tst_LinkSerial::staleInputIsDiscardedBeforeRequest()
{
    Link link = makeLink();
    // A late reply to an earlier exchange and some noise are waiting...
    link.port->feed(dataReply(0x39, QByteArray("OLD\0", 4)) + bytes({0x13, 0x37}));
    link.port->setResponder(
        [](const QByteArray&) { return dataReply(0x39, QByteArray("NEW\0", 4)); });
    Request r(0x39);
    QString text;
    // ... and are not taken as this request's reply.
    QCOMPARE(link.serial->TxRxData(r.buffer, r.length, text, true), 0);
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
        noise[0] = char(0xA5);
        noise[1] = char(0xFE);
        noise[2] = char(0xFF);
        return noise;
    });
    for (int i = 0; i < 20; ++i) {
        Request r(0x38);
        QString text;
        const int rc = link.serial->TxRxData(r.buffer, r.length, text, true);
        QVERIFY2(rc == 4 || rc == 6 || (rc & 0xFF) == 5, qPrintable(QString::number(rc)));
        QVERIFY(r.length <= 252);
        uchar fixed[32] = {0xA5, 0x00, 0x00, 0x13};
        const int f = link.serial->sendData(fixed, 4, false, true, 17);
        QVERIFY2(f == 4 || f == 6, qPrintable(QString::number(f)));
    }
}

void tst_LinkSerial::baudRate()
{
    Link link = makeLink();
    QCOMPARE(link.serial->SetBaudRate(115200), 0);
    QCOMPARE(link.port->breakCount(), 1);
    QVERIFY(!link.port->breakActive());
    QCOMPARE(link.port->baudRate(), 115200);
    QCOMPARE(link.port->written(), QByteArray(255, '@'));
    QCOMPARE(link.port->writes().size(), 255); // one byte per write
}

void tst_LinkSerial::baudRateUnsupported()
{
    Link link = makeLink();
    link.port->setBaudRate(57600);
    QCOMPARE(link.serial->SetBaudRate(250000), 1);
    QCOMPARE(link.port->breakCount(), 1);
    QCOMPARE(link.port->baudRate(), 9600);
    QVERIFY(link.port->written().isEmpty());
    cLinkSerial::BaudRateType type;
    QVERIFY(!cLinkSerial::baudToBaudRateType(250000, &type));
    QVERIFY(cLinkSerial::baudToBaudRateType(1200, &type));
    QCOMPARE(int(type), 1200);
}

void tst_LinkSerial::baudRateClosedPort()
{
    Link link = makeLink(false);
    QCOMPARE(link.serial->SetBaudRate(115200), 2);
    QCOMPARE(link.port->breakCount(), 0);
}

void tst_LinkSerial::baudRatePreambleWriteFails()
{
    Link link = makeLink();
    link.port->setWriteFails(true);
    QCOMPARE(link.serial->SetBaudRate(115200), 1);
}

void tst_LinkSerial::sendPktHeaderOperations()
{
    Link link = makeLink();
    link.port->setResponder([](const QByteArray&) { return fixedAck(); });
    link.serial->SetPktHdr(3, 0x12);
    QCOMPARE(link.serial->SendPkt(false), 0);
    QCOMPARE(link.port->written(), QByteArray::fromHex("A500031296AE"));
    link.serial->SetPktHdr(3, 0x12);
    QCOMPARE(link.serial->SendPkt(true), 0);
}

void tst_LinkSerial::resultTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("contains");
    QTest::newRow("time-out") << 3 << ""
                              << "time-out";
    QTest::newRow("check") << 4 << ""
                           << "check bytes";
    QTest::newRow("framing") << 6 << ""
                             << "framing";
    QTest::newRow("closed") << 2 << ""
                            << "not open";
    QTest::newRow("recorder error") << 1285 << "No such take"
                                    << "recorder error 5: No such take";
    QTest::newRow("busy") << 773 << ""
                          << "recorder error 3";
}

void tst_LinkSerial::resultTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QString, contains);
    QVERIFY2(cLinkSerial::resultText(code, text).contains(contains),
             qPrintable(cLinkSerial::resultText(code, text)));
}

QTEST_APPLESS_MAIN(tst_LinkSerial)
#include "tst_linkserial.moc"

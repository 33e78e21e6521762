// The control-mode worker over an in-memory fake recorder: display texts,
// transport keys, take-list records delivered to the sink, and the thread's
// start/stop/failure behaviour.

#include "FakeRecorder.h"
#include "cLinkLiveTakeSink.h"
#include "cMemoryPort.h"
#include "controlModeR9K.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace FakeRecorder;

namespace
{

// A healthy recorder; user parameters answered from a table.
struct Fake {
    cMemoryPort* port = nullptr;
    std::unique_ptr<cLinkDevice> device;
    Responder responder;
    QHash<int, int> user{{0, 4}, {1, 0}, {51, 2}, {8, 2}, {234, 20}};
    int transport = 0;

    Fake()
    {
        auto p = std::make_unique<cMemoryPort>();
        port = p.get();
        device = std::make_unique<cLinkDevice>(std::move(p));
        device->openCommPort();
        responder.attach(*port);
        responder.on(0x12, [this](const QByteArray&) { return reply(bytes({transport})); });
        responder.on(0x11, [this](const QByteArray& r) {
            transport = uchar(r[4]);
            return fixedAck();
        });
        responder.on(0x13, reply(le32(0x01020304) + le32(0) + le32(0x00000105)));
        responder.on(0x0A, [this](const QByteArray& r) {
            const int v = user.value(uchar(r[4]) | (uchar(r[5]) << 8));
            return reply(bytes({v & 0xFF, v >> 8}));
        });
        responder.on(0x3E, reply(bytes({1}) + QByteArray(24, '\x14')));
    }
    int count(int command) const { return int(responder.commands().count(command)); }
};

// Keeps a copy of every record.
class RecordingSink : public IAppSink
{
public:
    void appNotifyCallBack(int, int) override {}
    void appAckCallBack(CLINK::IAppDataRx* record) override
    {
        if (auto* ack = dynamic_cast<CLINK::cLinkAck*>(record))
            acks.append(*ack);
    }
    QList<CLINK::cLinkAck> acks;
};

} // namespace

// Stands in for the live take list: any QObject with the slot.
class AckReceiver : public QObject
{
    Q_OBJECT
public:
    QList<int> commands;
public slots:
    void on_cLinkAck(CLINK::cLinkAck* ack) { commands.append(ack->command); }
};

class tst_ControlMode : public QObject
{
    Q_OBJECT
private slots:
    void noDeviceDoesNothing();
    void codesOutsideTablesShownAsQuestionMark();
    void peakHoldScaled_data();
    void peakHoldScaled();
    void transportKeys_data();
    void transportKeys();
    void failedKeyLeavesCountdown();
    void signalsEmittedWithoutLock();
    void takeList();
    void takeListFailure();
    void takeParamValue_data();
    void takeParamValue();
    void takeParamIdOutOfRange();
    void setTakeParam_data();
    void setTakeParam();
    void falseTakeAlwaysCarriesTake();
    void takeListChanges();
    void liveTakeSink();
    void failedPollEndsThread();
    void stopRightAfterStartIsHonoured();
    void restartAfterStop();
    void destructorStopsThread();
};

void tst_ControlMode::noDeviceDoesNothing()
{
    controlModeR9K worker;
    RecordingSink sink;
    worker.setSink(&sink);
    QSignalSpy transport(&worker, &controlModeR9K::transportModeChange);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(worker.pollTick(), 0);
    worker.on_transportKeyPressed(2);
    worker.on_getTakeList(1, 3);
    worker.on_setTakeParam(1, 2, "A");
    QCOMPARE(transport.count(), 0);
    QVERIFY(sink.acks.isEmpty());
}

void tst_ControlMode::codesOutsideTablesShownAsQuestionMark()
{
    Fake fake;
    fake.user[0] = 13;
    fake.user[1] = 3;
    fake.user[51] = 200;
    controlModeR9K worker(fake.device.get());
    QSignalSpy rate(&worker, &controlModeR9K::sampleRateUpdate);
    QSignalSpy depth(&worker, &controlModeR9K::bitDepthUpdate);
    QSignalSpy frames(&worker, &controlModeR9K::frameRateUpdate);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(worker.pollTick(), 0);
    QCOMPARE(rate.value(0).value(0).toString(), QStringLiteral("?13"));
    QCOMPARE(depth.value(0).value(0).toString(), QStringLiteral("?3"));
    QCOMPARE(frames.value(0).value(0).toString(), QStringLiteral("?200"));
}

void tst_ControlMode::peakHoldScaled_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("ms");
    QTest::newRow("2 s") << 20 << 2000;
    QTest::newRow("largest exact") << 655 << 65500;
    QTest::newRow("saturates") << 656 << 65535;
    QTest::newRow("far above") << 65534 << 65535;
}

void tst_ControlMode::peakHoldScaled()
{
    QFETCH(int, value);
    QFETCH(int, ms);
    Fake fake;
    fake.user[234] = value;
    controlModeR9K worker(fake.device.get());
    worker.setMixerView(true);
    QSignalSpy hold(&worker, &controlModeR9K::meterPeakHoldTimeUpdate);
    QSignalSpy ballistics(&worker, &controlModeR9K::meterBallisticsUpdate);
    QCOMPARE(worker.pollTick(), 0);
    QCOMPARE(worker.pollTick(), 0); // first meter pass
    QCOMPARE(hold.count(), 1);
    QCOMPARE(int(hold.value(0).value(0).value<quint16>()), ms);
    QCOMPARE(int(ballistics.value(0).value(0).value<quint16>()), 2);
}

void tst_ControlMode::transportKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("sent");
    QTest::newRow("stop") << 0 << 0;
    QTest::newRow("play") << 1 << 1;
    QTest::newRow("record") << 2 << 2;
    QTest::newRow("fast forward") << 3 << 0;
    QTest::newRow("rewind") << 4 << 0;
    QTest::newRow("negative") << -1 << 0;
    QTest::newRow("large") << 258 << 0;
}

void tst_ControlMode::transportKeys()
{
    QFETCH(int, key);
    QFETCH(int, sent);
    Fake fake;
    fake.transport = 1;
    controlModeR9K worker(fake.device.get());
    QSignalSpy mode(&worker, &controlModeR9K::transportModeChange);
    for (int i = 0; i < 4; ++i)
        worker.pollTick();
    QCOMPARE(mode.count(), 1); // tick 1; the next is not due for 500 ms of ticks
    worker.on_transportKeyPressed(key);
    QCOMPARE(fake.responder.requests().last(), packet(0, bytes({0x11, sent})));
    worker.pollTick(); // tick 5: transport phase, countdown reset by the key
    QCOMPARE(mode.count(), 2);
    QCOMPARE(int(mode.value(1).value(0).value<uchar>()), sent);
}

void tst_ControlMode::failedKeyLeavesCountdown()
{
    Fake fake;
    fake.responder.remove(0x11);
    controlModeR9K worker(fake.device.get());
    QSignalSpy mode(&worker, &controlModeR9K::transportModeChange);
    for (int i = 0; i < 4; ++i)
        worker.pollTick();
    worker.on_transportKeyPressed(2);
    worker.pollTick();
    QCOMPARE(mode.count(), 1);
}

// A receiver connected directly may call back into the worker from its
// signal: the pass must not hold the mutex while emitting.
void tst_ControlMode::signalsEmittedWithoutLock()
{
    Fake fake;
    controlModeR9K worker(fake.device.get());
    int calls = 0;
    connect(
        &worker, &controlModeR9K::transportModeChange, this,
        [&](uchar) {
            ++calls;
            worker.on_transportKeyPressed(2);
        },
        Qt::DirectConnection);
    QCOMPARE(worker.pollTick(), 0);
    QCOMPARE(calls, 1);
    QCOMPARE(fake.transport, 2);
}

void tst_ControlMode::takeList()
{
    Fake fake;
    fake.responder.on(0x38, dataReply(0x38, le32(1005) + le32(1004) + le32(1003)));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeList(1, 300); // clamped to one byte, not wrapped
    QCOMPARE(uchar(fake.responder.requests().last()[8]), uchar(255));
    QCOMPARE(sink.acks.size(), 1);
    const CLINK::cLinkAck& ack = sink.acks[0];
    QCOMPARE(ack.command, 56);
    QCOMPARE(ack.status, 0);
    QCOMPARE(ack.count, 3);
    QCOMPARE(ack.takeIds(), (QList<quint32>{1005, 1004, 1003}));
    QVERIFY(ack.text.empty());
}

void tst_ControlMode::takeListFailure()
{
    Fake fake;
    fake.responder.on(0x38, statusAck(3, "Busy"));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeList(1, 3);
    QCOMPARE(sink.acks.size(), 1);
    QCOMPARE(sink.acks[0].status, 773);
    QCOMPARE(sink.acks[0].code(), 5);
    QCOMPARE(sink.acks[0].recorderError(), 3);
    QCOMPARE(sink.acks[0].text, std::string("Busy"));
    QCOMPARE(sink.acks[0].count, 0);
}

void tst_ControlMode::takeParamValue_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("file name") << 0 << QByteArray("12A-T04.WAV\0", 12) << QByteArray("12A-T04.WAV");
    QTest::newRow("scene without NUL") << 2 << QByteArray("12A") << QByteArray("12A");
    QTest::newRow("text to first NUL") << 3 << QByteArray("ab\0cd\0", 6) << QByteArray("ab");
    QTest::newRow("circled") << 4 << bytes({7}) << QByteArray("1");
    QTest::newRow("not circled") << 4 << bytes({0}) << QByteArray("0");
    QTest::newRow("second flag") << 5 << bytes({1, 9}) << QByteArray("1");
    QTest::newRow("flag missing") << 4 << QByteArray() << QByteArray();
    QTest::newRow("start timecode") << 6 << le32(0x0A1B2C03) << QByteArray("10:27:44:03");
    QTest::newRow("timecode short") << 6 << bytes({1, 2}) << QByteArray();
    QTest::newRow("unknown id") << 9 << QByteArray("xyz") << QByteArray();
}

void tst_ControlMode::takeParamValue()
{
    QFETCH(int, id);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, text);
    Fake fake;
    fake.responder.on(0x39, dataReply(0x39, payload));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeParam(1004, id);
    QCOMPARE(sink.acks.size(), 1);
    const CLINK::cLinkAck& ack = sink.acks[0];
    QCOMPARE(ack.command, 57);
    QCOMPARE(ack.status, 0);
    QCOMPARE(ack.take(), 1004u);
    QCOMPARE(ack.paramId(), id);
    QCOMPARE(ack.valueText(), text);
}

void tst_ControlMode::takeParamIdOutOfRange()
{
    Fake fake;
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeParam(1004, 262); // would wrap to 6 as one byte
    QCOMPARE(sink.acks.size(), 1);
    QCOMPARE(sink.acks[0].status, int(cLinkSerial::kWriteFailed));
    QVERIFY(fake.responder.requests().isEmpty());
}

void tst_ControlMode::setTakeParam_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("callback");
    QTest::addColumn<QByteArray>("wire"); // empty: nothing sent
    QTest::addColumn<int>("status");
    QTest::newRow("scene") << 2 << "14B" << true << QByteArray("14B\0", 4) << 0;
    QTest::newRow("empty notes") << 3 << "" << true << QByteArray(1, '\0') << 0;
    QTest::newRow("246 characters")
        << 3 << QString(246, 'n') << true << QByteArray(246, 'n') + QByteArray(1, '\0') << 0;
    QTest::newRow("247 characters refused")
        << 3 << QString(247, 'n') << true << QByteArray() << int(cLinkSerial::kWriteFailed);
    QTest::newRow("non-ASCII refused") << 2 << QString::fromUtf8("\xc3\xa9") << true << QByteArray()
                                       << int(cLinkSerial::kWriteFailed);
    QTest::newRow("circled") << 4 << "1" << true << bytes({1}) << 0;
    QTest::newRow("circled any number") << 4 << "-7" << true << bytes({1}) << 0;
    QTest::newRow("not circled") << 4 << "0" << true << bytes({0}) << 0;
    QTest::newRow("not a number") << 5 << "yes" << true << bytes({0}) << 0;
    QTest::newRow("start timecode ignored") << 6 << "10:00:00:00" << false << QByteArray() << 0;
    QTest::newRow("negative id ignored") << -1 << "x" << false << QByteArray() << 0;
}

void tst_ControlMode::setTakeParam()
{
    QFETCH(int, id);
    QFETCH(QString, value);
    QFETCH(bool, callback);
    QFETCH(QByteArray, wire);
    QFETCH(int, status);
    Fake fake;
    fake.responder.on(0x3A, statusAck(0));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_setTakeParam(1004, id, value);
    QCOMPARE(sink.acks.size(), callback ? 1 : 0);
    if (wire.isEmpty()) {
        QVERIFY(fake.responder.requests().isEmpty());
    } else {
        QCOMPARE(fake.responder.requests().value(0),
                 packet(0, bytes({0x3A}) + le32(1004) + bytes({id}) + wire));
    }
    if (callback) {
        QCOMPARE(sink.acks[0].command, 58);
        QCOMPARE(sink.acks[0].status, status);
        QCOMPARE(sink.acks[0].take(), 1004u);
        QCOMPARE(sink.acks[0].paramId(), id);
    }
}

void tst_ControlMode::falseTakeAlwaysCarriesTake()
{
    Fake fake;
    fake.responder.on(0x3B, statusAck(5, "Only the last recorded take can be false"));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_setFalseTake(1003);
    QCOMPARE(sink.acks.size(), 1);
    QCOMPARE(sink.acks[0].command, 59);
    QCOMPARE(sink.acks[0].status, 1285);
    QCOMPARE(sink.acks[0].take(), 1003u);
    QCOMPARE(sink.acks[0].text, std::string("Only the last recorded take can be false"));
}

void tst_ControlMode::takeListChanges()
{
    Fake fake;
    fake.responder.on(0x4E, dataReply(0x4E, bytes({0x02}) + le32(1005)));
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeListChanges();
    fake.responder.remove(0x4E);
    worker.on_getTakeListChanges();
    QCOMPARE(sink.acks.size(), 2);
    QCOMPARE(sink.acks[0].command, 78);
    QCOMPARE(sink.acks[0].changeKind(), 2);
    QCOMPARE(sink.acks[0].changeTake(), 1005u);
    QCOMPARE(sink.acks[1].status, 3);
    QCOMPARE(sink.acks[1].changeKind(), 0); // data only on success
}

void tst_ControlMode::liveTakeSink()
{
    Fake fake;
    fake.responder.on(0x4E, dataReply(0x4E, bytes({0}) + le32(0)));
    controlModeR9K worker(fake.device.get());
    auto* list = new AckReceiver;
    cLinkLiveTakeSink sink(list);
    worker.setSink(&sink);
    worker.on_getTakeListChanges();
    worker.on_setFalseTake(1);
    QCOMPARE(list->commands, (QList<int>{78, 59}));
    sink.appAckCallBack(nullptr);
    QCOMPARE(list->commands.size(), 2);
    delete list;
    worker.on_getTakeListChanges(); // the list is gone: nothing is called
}

void tst_ControlMode::failedPollEndsThread()
{
    Fake fake;
    fake.responder.remove(0x3E); // meters never answer
    controlModeR9K worker(fake.device.get());
    worker.setMixerView(true);
    QSignalSpy error(&worker, &controlModeR9K::cLinkError);
    worker.start();
    QVERIFY(worker.wait(10000));
    QCOMPARE(worker.lastPollResult(), int(cLinkSerial::kTimedOut));
    QCOMPARE(error.count(), 1);
    QCOMPARE(worker.tickCount(), 2u);
    // Keys still reach the recorder while a device is set.
    worker.on_transportKeyPressed(2);
    QCOMPARE(fake.transport, 2);
}

void tst_ControlMode::stopRightAfterStartIsHonoured()
{
    Fake fake;
    controlModeR9K worker(fake.device.get());
    for (int i = 0; i < 20; ++i) {
        worker.start();
        worker.requestStop();
        QVERIFY(worker.wait(10000));
    }
}

void tst_ControlMode::restartAfterStop()
{
    Fake fake;
    controlModeR9K worker(fake.device.get());
    worker.requestStop();
    worker.start(); // clears the earlier request
    QTRY_VERIFY_WITH_TIMEOUT(worker.tickCount() >= 3, 10000);
    QVERIFY(worker.isRunning());
    worker.requestStop();
    QVERIFY(worker.wait(10000));
}

void tst_ControlMode::destructorStopsThread()
{
    Fake fake;
    {
        controlModeR9K worker(fake.device.get());
        worker.start();
        QTRY_VERIFY_WITH_TIMEOUT(worker.tickCount() >= 1, 10000);
    }
    QVERIFY(fake.count(0x12) >= 1);
}

QTEST_GUILESS_MAIN(tst_ControlMode)
#include "tst_controlmode.moc"

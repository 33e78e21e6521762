// The control-mode worker over an in-memory fake recorder: its polling, keys,
// the records of its requests, and its thread's start, stop and failure.

#include "FakeRecorder.h"
#include "cMemoryPort.h"
#include "controlModeR9K.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace FakeRecorder;

namespace
{

// A healthy recorder answering by command byte (no rule: no answer, a
// time-out); user parameters come from a table. The ticks of a worker given
// as stamped are recorded for each request, by command.
struct Fake {
    using Rule = std::function<QByteArray(const QByteArray& request)>;
    cMemoryPort* port = nullptr;
    std::unique_ptr<cLinkDevice> device;
    QHash<int, Rule> rules;
    QHash<int, QList<quint32>> ticks;
    const controlModeR9K* stamped = nullptr;
    // The peak hold (234) is in units of 100 ms: 656 saturates 16 bits of ms.
    QHash<int, int> user{{0, 4}, {1, 0}, {51, 2}, {8, 2}, {234, 656}};
    int transport = 0;

    Fake()
    {
        auto p = std::make_unique<cMemoryPort>();
        port = p.get();
        device = std::make_unique<cLinkDevice>(std::move(p));
        device->openCommPort();
        port->setResponder([this](const QByteArray& w) {
            if (w.size() < 4)
                return QByteArray();
            ticks[uchar(w[3])].append(stamped ? stamped->tickCount() : 0u);
            const Rule rule = rules.value(uchar(w[3]));
            return rule ? rule(w) : QByteArray();
        });
        rules[0x12] = [this](const QByteArray&) { return reply(bytes({transport})); };
        rules[0x11] = [this](const QByteArray& r) {
            transport = uchar(r[4]);
            return fixedAck();
        };
        rules[0x13] = [](const QByteArray&) {
            return reply(le32(0x01020304) + le32(0) + le32(0x105));
        };
        rules[0x0A] = [this](const QByteArray& r) {
            const int v = user.value(uchar(r[4]) | (uchar(r[5]) << 8));
            return reply(bytes({v & 0xFF, v >> 8}));
        };
        rules[0x3E] = [](const QByteArray&) { return reply(bytes({1}) + QByteArray(24, 20)); };
    }
};

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

// The record as text: command, status, recorder text, then its data part
// (printed whatever the status, to show when it is left empty).
QString describe(const CLINK::cLinkAck& a)
{
    QStringList data;
    switch (a.command) {
    case CLINK::cLinkAck::kTakeList:
        for (quint32 id : a.takeIds())
            data << QString::number(id);
        break;
    case CLINK::cLinkAck::kTakeParamRead:
        data << QString::number(a.take()) << QString::number(a.paramId())
             << QString::fromLatin1(a.valueText());
        break;
    case CLINK::cLinkAck::kTakeParamWrite:
    case CLINK::cLinkAck::kFalseTake:
        data << QString::number(a.take()) << QString::number(a.paramId());
        break;
    default:
        data << QString::number(a.changeKind()) << QString::number(a.changeTake());
    }
    return QStringLiteral("%1 %2 %3 [%4]")
        .arg(a.command)
        .arg(a.status)
        .arg(QString::fromStdString(a.text), data.join(' '));
}

QList<quint32> series(quint32 first, quint32 step, quint32 last)
{
    QList<quint32> out;
    for (quint32 t = first; t <= last; t += step)
        out.append(t);
    return out;
}

// A take-list request: the answer (empty: none), the request sent (command
// and arguments; empty: none) and the record handed to the sink (empty: none).
struct Request {
    std::function<void(controlModeR9K&)> call;
    QByteArray answer;
    QByteArray sent;
    QString record;
};

} // namespace

Q_DECLARE_METATYPE(Request)

class tst_ControlMode : public QObject
{
    Q_OBJECT
private slots:
    void poll_data();
    void poll();
    void transportKeys();
    void signalsEmittedWithoutLock();
    void request_data();
    void request();
    void failedPollEndsThread();
    void stopRightAfterStartIsHonoured();
};

// Over 300 passes: the transport is read every 500 ms of ticks and emitted on
// every read; with the views shown the timecode is read every fourth pass and
// the meters every second one, with them hidden neither; a setting is emitted
// once, unchanged, and the peak hold saturates at 16 bits of ms.
void tst_ControlMode::poll_data()
{
    QTest::addColumn<bool>("views");
    QTest::newRow("views shown") << true;
    QTest::newRow("views hidden") << false;
}

void tst_ControlMode::poll()
{
    QFETCH(bool, views);
    Fake fake;
    controlModeR9K worker(fake.device.get());
    fake.stamped = &worker;
    QSignalSpy mode(&worker, &controlModeR9K::transportModeChange);
    QSignalSpy hold(&worker, &controlModeR9K::meterPeakHoldTimeUpdate);
    worker.on_transportViewActive(views);
    worker.setMixerView(views);
    for (int i = 0; i < 300; ++i)
        QCOMPARE(worker.pollTick(), 0);
    QCOMPARE(fake.ticks.value(0x12), series(1, 36, 300));
    QCOMPARE(mode.count(), 9);
    QCOMPARE(fake.ticks.value(0x13), views ? series(3, 4, 300) : QList<quint32>());
    QCOMPARE(fake.ticks.value(0x3E), views ? series(2, 2, 300) : QList<quint32>());
    QCOMPARE(hold.count(), views ? 1 : 0);
    if (views)
        QCOMPARE(hold.value(0).value(0).value<quint16>(), quint16(65535));
}

// A key is sent at once, an unknown one as stop (258 is not wrapped to
// record); once acknowledged, the next transport pass reads the state back
// although it is not yet due; without the acknowledgement it does not.
void tst_ControlMode::transportKeys()
{
    Fake fake;
    fake.transport = 1;
    controlModeR9K worker(fake.device.get());
    QSignalSpy mode(&worker, &controlModeR9K::transportModeChange);
    for (int i = 0; i < 4; ++i)
        worker.pollTick();
    QCOMPARE(mode.count(), 1); // tick 1; the next is not due for 500 ms of ticks
    worker.on_transportKeyPressed(258);
    QCOMPARE(fake.port->writes().last(), packet(0, bytes({0x11, 0})));
    worker.pollTick();
    QCOMPARE(mode.count(), 2);
    QCOMPARE(int(mode.value(1).value(0).value<uchar>()), 0);
    fake.rules.remove(0x11);
    worker.on_transportKeyPressed(2);
    QCOMPARE(fake.port->writes().last(), packet(0, bytes({0x11, 2})));
    for (int i = 0; i < 4; ++i) // ticks 6 to 9: a transport pass on 9
        worker.pollTick();
    QCOMPARE(mode.count(), 2);
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

void tst_ControlMode::request_data()
{
    QTest::addColumn<Request>("r");
    // The count is clamped to one byte, not wrapped.
    QTest::newRow("take list") << Request{[](controlModeR9K& w) { w.on_getTakeList(1, 300); },
                                          dataReply(0x38, le32(1005) + le32(1004) + le32(1003)),
                                          bytes({0x38}) + le32(1) + bytes({255}),
                                          "56 0  [1005 1004 1003]"};

    // The value text by parameter id.
    const auto read = [](const char* name, int id, const QByteArray& payload, const char* text) {
        QTest::newRow(name) << Request{[id](controlModeR9K& w) { w.on_getTakeParam(1004, id); },
                                       dataReply(0x39, payload),
                                       bytes({0x39}) + le32(1004) + bytes({id}),
                                       QStringLiteral("57 0  [1004 %1 %2]").arg(id).arg(text)};
    };
    read("read text to first NUL", 3, QByteArray("ab\0cd\0", 6), "ab");
    read("read flag missing", 4, QByteArray(), "");
    read("read timecode short", 6, bytes({1, 2}), "");
    QTest::newRow("read id past one byte refused unsent") // would wrap to 6
        << Request{[](controlModeR9K& w) { w.on_getTakeParam(1004, 262); }, {}, {}, "57 1  [0 0 ]"};

    // The wire form by parameter id; texts that cannot be carried are refused
    // unsent with status 1; ids beyond 5 are ignored without a callback.
    const auto write = [](const char* name, int id, const QString& value, const QByteArray& wire) {
        const bool ignored = id < 0 || id > 5;
        QTest::newRow(name) << Request{
            [id, value](controlModeR9K& w) { w.on_setTakeParam(1004, id, value); }, statusAck(0),
            wire.isEmpty() ? QByteArray() : bytes({0x3A}) + le32(1004) + bytes({id}) + wire,
            ignored ? QString()
                    : QStringLiteral("58 %1  [1004 %2]").arg(wire.isEmpty() ? 1 : 0).arg(id)};
    };
    write("write 246 characters", 3, QString(246, 'n'), QByteArray(246, 'n') + '\0');
    write("write 247 characters", 3, QString(247, 'n'), {});
    write("write non-ASCII", 2, QString::fromUtf8("\xc3\xa9"), {});
    write("write embedded NUL", 2, QString(QChar(0)) + "x", {});
    write("write start timecode", 6, "10:00:00:00", {});
    write("write negative id", -1, "x", {});

    QTest::newRow("false take refused") << Request{
        [](controlModeR9K& w) { w.on_setFalseTake(1003); },
        statusAck(5, "Only the last recorded take can be false"), bytes({0x3B}) + le32(1003),
        "59 1285 Only the last recorded take can be false [1003 0]"};
    const auto changes = [](controlModeR9K& w) { w.on_getTakeListChanges(); };
    QTest::newRow("changes unanswered") << Request{changes, {}, bytes({0x4E}), "78 3  [0 0]"};
}

void tst_ControlMode::request()
{
    QFETCH(Request, r);
    Fake fake;
    fake.port->setResponder([&r](const QByteArray&) { return r.answer; });
    controlModeR9K worker(fake.device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    r.call(worker);
    QCOMPARE(fake.port->writes(),
             r.sent.isEmpty() ? QList<QByteArray>() : QList{packet(0, r.sent)});
    QCOMPARE(sink.acks.size(), r.record.isEmpty() ? 0 : 1);
    if (!r.record.isEmpty())
        QCOMPARE(describe(sink.acks[0]), r.record);
}

void tst_ControlMode::failedPollEndsThread()
{
    Fake fake;
    fake.rules.remove(0x3E); // meters never answer
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

// A stop right after the start is honoured; the next start() clears it and
// the destructor stops the thread.
void tst_ControlMode::stopRightAfterStartIsHonoured()
{
    Fake fake;
    auto worker = std::make_unique<controlModeR9K>(fake.device.get());
    for (int i = 0; i < 20; ++i) {
        worker->start();
        worker->requestStop();
        QVERIFY(worker->wait(10000));
    }
    worker->start();
    QTRY_VERIFY_WITH_TIMEOUT(worker->tickCount() >= 3, 10000);
    QVERIFY(worker->isRunning());
    worker.reset();
}

QTEST_GUILESS_MAIN(tst_ControlMode)
#include "tst_controlmode.moc"

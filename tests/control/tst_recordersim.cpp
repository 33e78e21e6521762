// The link against r9k-sim on a pseudo-terminal: recognition, the take list
// through the worker's sink, and the simulator's faults producing the right
// result codes.

#include "SimProcess.h"
#include "cLinkDevice.h"
#include "cPortEnumerator.h"
#include "cRecorderProbe.h"
#include "controlModeR9K.h"

#include <QElapsedTimer>

#include <QTest>
#include <sys/resource.h>

namespace
{

class FakeEnumerator : public cPortEnumerator
{
public:
    QList<cPortEntry> list;
    QList<cPortEntry> ports() const override { return list; }
};

cPortEntry entry(const QString& name, quint16 vendor, quint16 product)
{
    cPortEntry e;
    e.portName = name;
    e.hasUsbIds = true;
    e.vendorId = vendor;
    e.productId = product;
    return e;
}

// Processor time this process has used, in milliseconds.
qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

class RecordingSink : public IAppSink
{
public:
    void appNotifyCallBack(int, int) override {}
    void appAckCallBack(CLINK::IAppDataRx* record) override
    {
        if (auto* ack = dynamic_cast<CLINK::cLinkAck*>(record))
            acks.append(*ack);
    }
    CLINK::cLinkAck last() const { return acks.value(acks.size() - 1); }
    QList<CLINK::cLinkAck> acks;
};

} // namespace

#define START_SIM(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

class tst_RecorderSim : public QObject
{
    Q_OBJECT
private slots:
    void recognition_data();
    void recognition();
    void missingPort();
    void portInUse();
    void scanProbesOnlyRecorderIds();
    void takeListThroughSink();
    void takeEditsAndChanges();
    void recordingAddsTake();
    void falseTake();
    void dropGivesTimeOut();
    void corruptionGivesCheckBytes();
    void halfReplyGivesTimeOutThenRecovers();
    void busyAndError();
    void garbageBetweenRepliesIsAbsorbed();
    void floodNeverHangs();
    void slowWriteGetsLongTimeOut();
};

void tst_RecorderSim::recognition_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::newRow("3.0") << QStringList{"--firmware", "3.0"}
                         << int(cRecorderProbe::Status::Accepted);
    QTest::newRow("2.9") << QStringList{"--firmware", "2.9"}
                         << int(cRecorderProbe::Status::Accepted);
    QTest::newRow("2.8") << QStringList{"--firmware", "2.8"}
                         << int(cRecorderProbe::Status::FirmwareTooOld);
    QTest::newRow("1.12") << QStringList{"--firmware", "1.12"}
                          << int(cRecorderProbe::Status::FirmwareTooOld);
    QTest::newRow("10.0") << QStringList{"--firmware", "10.0"}
                          << int(cRecorderProbe::Status::Accepted);
    QTest::newRow("kind 3") << QStringList{"--kind", "3"}
                            << int(cRecorderProbe::Status::NotRecorder);
    QTest::newRow("other address")
        << QStringList{"--address", "4"} << int(cRecorderProbe::Status::NoAnswer);
}

void tst_RecorderSim::recognition()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    SimProcess sim(options);
    START_SIM(sim);
    cRecorderProbe::Outcome outcome;
    auto device = cRecorderProbe::probePort(sim.path(), &outcome);
    QCOMPARE(int(outcome.status), status);
    QCOMPARE(bool(device), status == int(cRecorderProbe::Status::Accepted));
    if (device) {
        QCOMPARE(int(outcome.deviceKind), 5);
        QCOMPARE(device->port()->baudRate(), 115200);
    }
}

void tst_RecorderSim::missingPort()
{
    cRecorderProbe::Outcome outcome;
    QVERIFY(!cRecorderProbe::probePort(QStringLiteral("/dev/no-such-recorder"), &outcome));
    QCOMPARE(int(outcome.status), int(cRecorderProbe::Status::OpenFailed));
    QVERIFY(cRecorderProbe::describe(outcome, "/dev/no-such-recorder").contains("No such file"));
}

void tst_RecorderSim::portInUse()
{
    SimProcess sim;
    START_SIM(sim);
    cLinkDevice first(sim.path());
    QVERIFY(first.openCommPort());
    cRecorderProbe::Outcome outcome;
    QVERIFY(!cRecorderProbe::probePort(sim.path(), &outcome));
    QCOMPARE(int(outcome.status), int(cRecorderProbe::Status::OpenFailed));
    QVERIFY2(outcome.portError.contains("in use"), qPrintable(outcome.portError));
    first.port()->close();
    QVERIFY(cRecorderProbe::probePort(sim.path()));
}

void tst_RecorderSim::scanProbesOnlyRecorderIds()
{
    SimProcess old({"--firmware", "2.8"});
    SimProcess good;
    START_SIM(old);
    START_SIM(good);
    FakeEnumerator ports;
    ports.list << entry(good.path(), 0x0403, 0x6001) // a recorder behind other USB ids
               << entry("/dev/no-such-port", 0x10C4, 0xEA60) << entry(old.path(), 0x10C4, 0xEA60)
               << entry(good.path(), 0x10C4, 0xEA60);
    auto device = cRecorderProbe::scan(ports);
    QVERIFY(device);
    QCOMPARE(device->portName(), good.path());

    ports.list.removeLast();
    QVERIFY(!cRecorderProbe::scan(ports));
}

void tst_RecorderSim::takeListThroughSink()
{
    SimProcess sim({"--takes", "4"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    RecordingSink sink;
    worker.setSink(&sink);

    worker.on_getTakeList(1, 10);
    QCOMPARE(sink.last().status, 0);
    const QList<quint32> ids = sink.last().takeIds();
    QCOMPARE(ids.size(), 5); // the next take and four recorded ones
    for (int i = 1; i < ids.size(); ++i)
        QVERIFY(ids[i] < ids[i - 1]);

    const quint32 current = ids[1];
    QStringList values;
    for (int id : {0, 1, 2, 3, 4, 6}) {
        worker.on_getTakeParam(current, id);
        QCOMPARE(sink.last().status, 0);
        QCOMPARE(sink.last().take(), current);
        QCOMPARE(sink.last().paramId(), id);
        values << QString::fromLatin1(sink.last().valueText());
    }
    QCOMPARE(values[0], QStringLiteral("12A-T04.WAV"));
    QCOMPARE(values[1], QStringLiteral("4"));
    QCOMPARE(values[2], QStringLiteral("12A"));
    QCOMPARE(values[3], QString());
    QCOMPARE(values[4], QStringLiteral("0"));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$").match(values[5]).hasMatch());

    worker.on_getTakeParam(4242, 2);
    QCOMPARE(sink.last().status, 1285);
    QCOMPARE(sink.last().text, std::string("No such take"));
}

void tst_RecorderSim::takeEditsAndChanges()
{
    SimProcess sim;
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeList(1, 3);
    const quint32 current = sink.last().takeIds().value(1);

    worker.on_getTakeListChanges();
    QCOMPARE(sink.last().status, 0);
    QCOMPARE(sink.last().changeKind(), 0);

    worker.on_setTakeParam(current, 2, "14B");
    QCOMPARE(sink.last().status, 0);
    worker.on_setTakeParam(current, 4, "1");
    QCOMPARE(sink.last().status, 0);
    worker.on_getTakeParam(current, 2);
    QCOMPARE(sink.last().valueText(), QByteArray("14B"));
    worker.on_getTakeParam(current, 4);
    QCOMPARE(sink.last().valueText(), QByteArray("1"));

    // One take changed: bit 0 and its id; reading clears the report.
    worker.on_getTakeListChanges();
    QCOMPARE(sink.last().changeKind(), 1);
    QCOMPARE(sink.last().changeTake(), current);
    worker.on_getTakeListChanges();
    QCOMPARE(sink.last().changeKind(), 0);

    // The recorder validates what it stores.
    worker.on_setTakeParam(current, 2, "lower");
    QCOMPARE(sink.last().status, 1285);
    QVERIFY(!sink.last().text.empty());
    worker.on_setTakeParam(current, 1, "12b");
    QCOMPARE(sink.last().status, 1285);
    worker.on_setTakeParam(current, 0, "NEW.WAV");
    QCOMPARE(sink.last().status, 261); // not supported
    worker.on_setTakeParam(current, 3, QString(201, 'n'));
    QCOMPARE(sink.last().status, 1285);
    const int before = sink.acks.size();
    worker.on_setTakeParam(current, 3, QString(247, 'n')); // cannot be framed
    QCOMPARE(sink.acks.size(), before + 1);
    QCOMPARE(sink.last().status, 1);
    worker.on_getTakeParam(current, 3);
    QCOMPARE(sink.last().valueText(), QByteArray());
}

void tst_RecorderSim::recordingAddsTake()
{
    SimProcess sim;
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeList(1, 3);
    const QList<quint32> before = sink.last().takeIds();

    worker.on_transportKeyPressed(2);
    cLinkDevice::TransportMode mode = cLinkDevice::kStop;
    QCOMPARE(device->GetTransport(&mode), 0);
    QCOMPARE(int(mode), 2);
    worker.on_getTakeListChanges();
    QVERIFY(sink.last().changeKind() & 0x02);
    QCOMPARE(sink.last().changeTake(), before[0]); // the next take became current
    worker.on_getTakeList(1, 3);
    QCOMPARE(sink.last().takeIds().value(1), before[0]);
    QVERIFY(sink.last().takeIds().value(0) > before[0]);

    worker.on_transportKeyPressed(1); // play is refused while recording
    QCOMPARE(device->GetTransport(&mode), 0);
    QCOMPARE(int(mode), 2);
    worker.on_transportKeyPressed(4); // rewind is sent as stop
    QCOMPARE(device->GetTransport(&mode), 0);
    QCOMPARE(int(mode), 0);
    worker.on_getTakeListChanges();
    QVERIFY(sink.last().changeKind() & 0x08);
}

void tst_RecorderSim::falseTake()
{
    SimProcess sim;
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    worker.on_getTakeList(1, 3);
    const QList<quint32> ids = sink.last().takeIds();

    worker.on_setFalseTake(ids[2]); // not the last take
    QCOMPARE(sink.last().status, 1285);
    QCOMPARE(sink.last().take(), ids[2]);
    worker.on_setFalseTake(ids[1]);
    QCOMPARE(sink.last().status, 0);
    worker.on_getTakeListChanges();
    QCOMPARE(sink.last().changeKind(), 0x04);
    worker.on_getTakeList(1, 3);
    QCOMPARE(sink.last().takeIds().value(1), ids[2]);
}

void tst_RecorderSim::dropGivesTimeOut()
{
    SimProcess sim({"--drop-every", "4"});
    START_SIM(sim); // recognition uses requests 1 and 2
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    cLinkDevice::TransportMode mode;
    QCOMPARE(device->GetTransport(&mode), 0);
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = cpuMs();
    QCOMPARE(device->GetTransport(&mode), 3);
    QVERIFY(clock.elapsed() >= 900);    // waited for the reply time-out ...
    QVERIFY(cpuMs() - cpuBefore < 500); // ... asleep, not spinning a core
    QCOMPARE(device->GetTransport(&mode), 0);
}

void tst_RecorderSim::corruptionGivesCheckBytes()
{
    SimProcess sim({"--corrupt-every", "3"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    ushort value = 0;
    QCOMPARE(device->UserGet(0, &value), 4);
    QCOMPARE(device->UserGet(0, &value), 0);
    QCOMPARE(value, ushort(4));
    QList<uint> takes;
    QCOMPARE(device->GetTakeList(1, 3, takes), 0);
    QCOMPARE(device->GetTakeList(1, 3, takes), 4);
}

void tst_RecorderSim::halfReplyGivesTimeOutThenRecovers()
{
    SimProcess sim({"--half-every", "3"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    uint tc = 0;
    QCOMPARE(device->GetTimeCode(&tc, nullptr, nullptr), 3);
    QCOMPARE(device->GetTimeCode(&tc, nullptr, nullptr), 0);
}

void tst_RecorderSim::busyAndError()
{
    SimProcess sim({"--busy-every", "2", "--error-every", "3"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    RecordingSink sink;
    worker.setSink(&sink);
    QList<int> statuses;
    for (int i = 0; i < 6; ++i) {
        worker.on_getTakeListChanges();
        statuses << sink.last().status;
    }
    QCOMPARE(statuses, (QList<int>{0, 773, 1285, 773, 0, 773}));
    QCOMPARE(sink.acks[2].text, std::string("Simulated recorder error"));
    QVERIFY(sink.acks[1].text.empty());
    // Fixed-length commands are never answered busy.
    cLinkDevice::TransportMode mode;
    for (int i = 0; i < 4; ++i)
        QCOMPARE(device->GetTransport(&mode), 0);
}

void tst_RecorderSim::garbageBetweenRepliesIsAbsorbed()
{
    SimProcess sim({"--garbage", "--seed", "5"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    controlModeR9K worker(device.get());
    worker.on_transportViewActive(true);
    worker.setMixerView(true);
    for (int i = 0; i < 200; ++i)
        QCOMPARE(worker.pollTick(), 0);
}

void tst_RecorderSim::floodNeverHangs()
{
    SimProcess sim({"--flood"});
    START_SIM(sim);
    cLinkDevice device(sim.path());
    QVERIFY(device.openCommPort());
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 50; ++i) {
        uint tc = 0;
        const int rc = device.GetTimeCode(&tc, nullptr, nullptr);
        QVERIFY2(rc == 0 || rc == 3 || rc == 4 || rc == 6, qPrintable(QString::number(rc)));
        QList<uint> takes;
        const int v = device.GetTakeList(1, 10, takes);
        QVERIFY2(v == 0 || v == 3 || v == 4 || v == 6 || (v & 0xFF) == 5,
                 qPrintable(QString::number(v)));
        QVERIFY(takes.size() <= CLINK::cLinkAck::kMaxTakes);
    }
    // Each exchange is bounded by its time-out whatever the line carries.
    QVERIFY(clock.elapsed() < 100 * 1000);
}

void tst_RecorderSim::slowWriteGetsLongTimeOut()
{
    SimProcess sim({"--slow-write-ms", "1300"});
    START_SIM(sim);
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    const QByteArray value("NOTE\0", 5);
    QList<uint> takes;
    QCOMPARE(device->GetTakeList(1, 2, takes), 0);
    // A write may take longer than the ordinary 1 s reply time-out.
    QCOMPARE(device->SetTakeParam(takes[1], 3, reinterpret_cast<const uchar*>(value.constData()),
                                  int(value.size())),
             0);
}

QTEST_GUILESS_MAIN(tst_RecorderSim)
#include "tst_recordersim.moc"

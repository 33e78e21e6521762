// The link against r9k-sim on a pseudo-terminal: opening and discovering
// ports, and the faults only a real line shows.

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

} // namespace

#define START_SIM(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

class tst_RecorderSim : public QObject
{
    Q_OBJECT
private slots:
    void portInUse();
    void scanProbesOnlyRecorderIds();
    void dropGivesTimeOutWithoutSpinning();
    void garbageBetweenRepliesIsAbsorbed();
    void floodNeverHangs();
};

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
    auto device = cRecorderProbe::probePort(sim.path());
    QVERIFY(device);
    QCOMPARE(device->port()->baudRate(), 115200);
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

void tst_RecorderSim::dropGivesTimeOutWithoutSpinning()
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

QTEST_GUILESS_MAIN(tst_RecorderSim)
#include "tst_recordersim.moc"

// The link and velmora-cli recorder against r9k-sim on a pseudo-terminal:
// opening and discovering ports, the faults only a real line shows, the
// commands a user runs from a shell and the wording of every failure.

#include "SimProcess.h"
#include "TestUtil.h"
#include "cLinkDevice.h"
#include "controlModeR9K.h"

#include <QElapsedTimer>
#include <QTest>

#include <sys/resource.h>

namespace
{

// Processor time this process has used, in milliseconds.
qint64 cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (qint64(u.ru_utime.tv_sec) + u.ru_stime.tv_sec) * 1000 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

struct Result {
    int code = -1;
    QString out;
    QString err;
};

Result cli(const QStringList& args)
{
    QByteArray out, err;
    Result r;
    r.code = TestUtil::run(QStringLiteral(VELMORA_CLI), QStringList{"recorder"} + args, &out, &err,
                           60000);
    r.out = QString::fromLocal8Bit(out);
    r.err = QString::fromLocal8Bit(err);
    return r;
}

} // namespace

#define START_SIM(sim) QVERIFY2((sim).start(), qPrintable((sim).errorText()))

class tst_Recorder : public QObject
{
    Q_OBJECT
private slots:
    void portInUse();
    void scanProbesOnlyRecorderIds();
    void dropGivesTimeOutWithoutSpinning();
    void garbageBetweenRepliesIsAbsorbed();
    void floodNeverHangs();
    void status();
    void recognition_data();
    void recognition();
    void missingPort();
    void usageErrors_data();
    void usageErrors();
    void transportKeys();
    void takesAndEdits();
};

void tst_Recorder::portInUse()
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

void tst_Recorder::scanProbesOnlyRecorderIds()
{
    SimProcess old({"--firmware", "2.8"});
    SimProcess good;
    START_SIM(old);
    START_SIM(good);
    auto list = std::make_shared<QList<cPortEntry>>();
    *list << usbPort(good.path(), 0x0403, 0x6001) // a recorder behind other USB ids
          << usbPort("/dev/no-such-port") << usbPort(old.path()) << usbPort(good.path());
    const FakePorts ports(list);
    auto device = cRecorderProbe::scan(ports);
    QVERIFY(device);
    QCOMPARE(device->portName(), good.path());
    list->removeLast();
    QVERIFY(!cRecorderProbe::scan(ports));
}

void tst_Recorder::dropGivesTimeOutWithoutSpinning()
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

void tst_Recorder::garbageBetweenRepliesIsAbsorbed()
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

void tst_Recorder::floodNeverHangs()
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

void tst_Recorder::status()
{
    // 10.0 is later than 2.9 (compared as numbers); 20 is past the rate table.
    SimProcess sim({"--firmware", "10.0", "--frame-rate", "4", "--sample-rate", "20"});
    START_SIM(sim);
    const Result r = cli({"--port", sim.path(), "status"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    for (const char* line : {"device kind: 5\n", "firmware: 10.0\n", "transport: stop\n",
                             "frame rate: 29.97 DF\n", "sample rate: ?20\n", "bit depth: 24\n"})
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
}

// The wording of each way recognition fails.
void tst_Recorder::recognition_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("firmware 2.8") << QStringList{"--firmware", "2.8"}
                                  << "firmware 2.8 is too old (2.9 or later needed)";
    QTest::newRow("not a recorder")
        << QStringList{"--kind", "3"} << "not a recorder (device kind 3, expected 5)";
    QTest::newRow("time-out") << QStringList{"--drop-every", "1"} << "time-out";
    QTest::newRow("check bytes") << QStringList{"--corrupt-every", "1"} << "check bytes";
}

void tst_Recorder::recognition()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    SimProcess sim(options);
    START_SIM(sim);
    const Result r = cli({"--port", sim.path(), "status"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void tst_Recorder::missingPort()
{
    const Result r = cli({"--port", "/dev/no-such-recorder", "status"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("cannot open port /dev/no-such-recorder"), qPrintable(r.err));
    QVERIFY(r.err.contains("No such file or directory"));
}

void tst_Recorder::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{"--port", "/dev/null"};
    QTest::newRow("unknown command") << QStringList{"--port", "/dev/null", "dance"};
    QTest::newRow("takes count too large")
        << QStringList{"--port", "/dev/null", "takes", "--count", "64"};
    QTest::newRow("watch option without value")
        << QStringList{"--port", "/dev/null", "watch", "--count"};
}

void tst_Recorder::usageErrors()
{
    QFETCH(QStringList, args);
    const Result r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("usage: velmora-cli recorder"));
}

void tst_Recorder::transportKeys()
{
    SimProcess sim;
    START_SIM(sim);
    Result r = cli({"--port", sim.path(), "record"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("transport: record\n"));
    r = cli({"--port", sim.path(), "play"}); // refused while recording
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains("stayed in record"));
    QCOMPARE(cli({"--port", sim.path(), "stop"}).out, QStringLiteral("transport: stop\n"));
}

void tst_Recorder::takesAndEdits()
{
    SimProcess sim({"--takes", "3"});
    START_SIM(sim);
    Result r = cli({"--port", sim.path(), "takes"});
    QCOMPARE(r.code, 0);
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5); // header, next take, three recorded takes
    QVERIFY(lines[1].startsWith("NEXT"));
    QVERIFY(lines[2].startsWith("CURRENT") && lines[2].contains("12A-T03.WAV"));
    const QString current =
        lines[2].section(' ', 1, -1, QString::SectionSkipEmpty).section(' ', 0, 0);

    for (const QStringList& edit :
         {QStringList{"scene", "20C"}, {"circled", "yes"}, {"notes", "boom in shot"}})
        QCOMPARE(cli(QStringList{"--port", sim.path(), "set-take", current} + edit).code, 0);
    r = cli({"--port", sim.path(), "takes", "--count", "2"});
    lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[2].contains("20C") && lines[2].contains("yes") &&
                 lines[2].endsWith("boom in shot"),
             qPrintable(lines[2]));

    r = cli({"--port", sim.path(), "set-take", "999", "scene", "1A"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("recorder error 5: No such take"), qPrintable(r.err));
    r = cli({"--port", sim.path(), "false-take", "1001"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("recorder error 5: Only the last recorded take"), qPrintable(r.err));
    r = cli({"--port", sim.path(), "false-take", current});
    QCOMPARE(r.code, 0);
    r = cli({"--port", sim.path(), "takes"});
    QVERIFY(!r.out.contains("20C"));
}

QTEST_GUILESS_MAIN(tst_Recorder)
#include "tst_recorder.moc"

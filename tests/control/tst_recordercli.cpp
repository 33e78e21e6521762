// velmora-cli recorder against r9k-sim: the commands a user runs from a shell
// and the wording of every kind of failure.

#include "SimProcess.h"
#include "TestUtil.h"

#include <QRegularExpression>
#include <QTest>

namespace
{

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

class tst_RecorderCli : public QObject
{
    Q_OBJECT
private slots:
    void status();
    void recognition_data();
    void recognition();
    void missingPort();
    void usageErrors_data();
    void usageErrors();
    void transportKeys();
    void takesAndEdits();
    void watchPrintsLines();
};

void tst_RecorderCli::status()
{
    SimProcess sim({"--firmware", "2.9", "--frame-rate", "4", "--sample-rate", "20"});
    START_SIM(sim);
    const Result r = cli({"--port", sim.path(), "status"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    for (const char* line : {"device kind: 5\n", "firmware: 2.9\n", "transport: stop\n",
                             "frame rate: 29.97 DF\n", "sample rate: ?20\n", "bit depth: 24\n"})
        QVERIFY2(r.out.contains(line), qPrintable(r.out));
    QVERIFY(QRegularExpression("timecode: \\d\\d:\\d\\d:\\d\\d:\\d\\d\n").match(r.out).hasMatch());
}

// Recognition of the recorder (2.9 is accepted in status above) and the
// wording of each way it fails.
void tst_RecorderCli::recognition_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // on stdout with status 0, else on stderr
    QTest::newRow("firmware 10.0") << QStringList{"--firmware", "10.0"} << 0 << "firmware: 10.0\n";
    QTest::newRow("firmware 2.8") << QStringList{"--firmware", "2.8"} << 1
                                  << "firmware 2.8 is too old (2.9 or later needed)";
    QTest::newRow("not a recorder")
        << QStringList{"--kind", "3"} << 1 << "not a recorder (device kind 3, expected 5)";
    QTest::newRow("time-out") << QStringList{"--drop-every", "1"} << 1 << "time-out";
    QTest::newRow("check bytes") << QStringList{"--corrupt-every", "1"} << 1 << "check bytes";
}

void tst_RecorderCli::recognition()
{
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, message);
    SimProcess sim(options);
    START_SIM(sim);
    const Result r = cli({"--port", sim.path(), "status"});
    QCOMPARE(r.code, code);
    QVERIFY2((code == 0 ? r.out : r.err).contains(message), qPrintable(r.out + r.err));
    if (code != 0)
        QVERIFY(r.out.isEmpty());
}

void tst_RecorderCli::missingPort()
{
    const Result r = cli({"--port", "/dev/no-such-recorder", "status"});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("cannot open port /dev/no-such-recorder"), qPrintable(r.err));
    QVERIFY(r.err.contains("No such file or directory"));
}

void tst_RecorderCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no command") << QStringList{"--port", "/dev/null"};
    QTest::newRow("unknown command") << QStringList{"--port", "/dev/null", "dance"};
    QTest::newRow("port without name") << QStringList{"--port"};
    QTest::newRow("takes count too large")
        << QStringList{"--port", "/dev/null", "takes", "--count", "64"};
    QTest::newRow("watch option without value")
        << QStringList{"--port", "/dev/null", "watch", "--count"};
}

void tst_RecorderCli::usageErrors()
{
    QFETCH(QStringList, args);
    const Result r = cli(args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("usage: velmora-cli recorder"));
}

void tst_RecorderCli::transportKeys()
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

void tst_RecorderCli::takesAndEdits()
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

    r = cli({"--port", sim.path(), "set-take", current, "notes", QString(247, 'n')});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("at most 246 characters"));

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

void tst_RecorderCli::watchPrintsLines()
{
    SimProcess sim;
    START_SIM(sim);
    const Result r = cli({"--port", sim.path(), "watch", "--count", "3", "--interval", "50"});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QRegularExpression line("^stop +\\d\\d:\\d\\d:\\d\\d:\\d\\d "
                                  "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d +L -\\d+ R -\\d+ .* X2 -inf$");
    QVERIFY2(line.match(lines.last()).hasMatch(), qPrintable(lines.last()));
}

QTEST_GUILESS_MAIN(tst_RecorderCli)
#include "tst_recordercli.moc"

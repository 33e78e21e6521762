#include "TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

// "velmora-cli info" and "repair" end to end, and the usage errors and exit
// codes of every command.
namespace
{
// A copy of a demo take, damaged as `how` says ("size 0": the data size
// field 0; "overrun": the iXML size 8 bytes too large); returns its path.
QString damagedCopy(const QString& demoTake, const QString& to, const QByteArray& how)
{
    QByteArray b = TestUtil::readFile(demoTake);
    const qsizetype data = b.indexOf("data", 36);
    const qsizetype ixml = b.indexOf("iXML", 12);
    if (how == "size 0")
        qToLittleEndian(quint32(0), b.data() + data + 4);
    else if (how == "overrun")
        qToLittleEndian(qFromLittleEndian<quint32>(b.constData() + ixml + 4) + 8,
                        b.data() + ixml + 4);
    return TestUtil::writeFile(to, b) ? to : QString();
}
} // namespace

class TestCliInfo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_demo;

    int cli(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr)
    {
        return TestUtil::run(QStringLiteral(VELMORA_CLI), args, out, err);
    }

    QJsonArray infoJson(const QStringList& paths, int* rc = nullptr)
    {
        QByteArray out;
        const int code = cli(QStringList{"info", "--json"} + paths, &out);
        if (rc)
            *rc = code;
        return QJsonDocument::fromJson(out).array();
    }

private slots:
    void initTestCase()
    {
        m_demo = m_dir.filePath("demo");
        QByteArray out, err;
        QCOMPARE(cli({"demo", m_demo, "--takes", "3", "--seconds", "0.5"}, &out, &err), 0);
        QCOMPARE(QDir(m_demo).entryList(QDir::Files).size(), 2 * 1 + 1 * 4);
    }

    // Every path gets its own entry, failures with their error (on stderr too).
    void jsonPerPath()
    {
        const QString notTake = m_dir.filePath("notes.txt");
        QVERIFY(TestUtil::writeFile(notTake, "not audio"));
        const QString missing = m_dir.filePath("missing.wav");
        const QString good = QDir(m_demo).filePath("T0001.WAV");
        QByteArray out, err;
        QCOMPARE(cli({"info", "--json", missing, m_demo, notTake, good}, &out, &err), 1);
        const QJsonArray all = QJsonDocument::fromJson(out).array();
        QCOMPARE(all.size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(all.at(i).toObject()["ok"].toBool(), false);
            QVERIFY(!all.at(i).toObject()["error"].toString().isEmpty());
            QVERIFY(err.contains(all.at(i).toObject()["path"].toString().toUtf8()));
        }
        QVERIFY(!QFileInfo::exists(missing));
        const QJsonObject o = all.at(3).toObject();
        QCOMPARE(o.keys(),
                 (QStringList{"bext", "chunks", "columns", "container", "damaged", "fileSet",
                              "format", "history", "ixml", "ok", "path", "syncPoints", "tracks"}));
        QVERIFY(o["ok"].toBool() && o["damaged"].isNull());
        QCOMPARE(o["columns"].toObject()["Scene"].toString(), QString("12A"));
        QCOMPARE(o["tracks"].toArray().size(), 4);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        // Command lines refused with a usage text, one or more per command.
        const char* const lines[] = {"frobnicate",
                                     "info --json",
                                     "info --xml a.wav",
                                     "demo x --takes many",
                                     "repair --dry-run",
                                     "set x.wav",
                                     "set --circled maybe x.wav",
                                     "set --frame-rate 31 x.wav",
                                     "set --sample-rate 12 x.wav",
                                     "set --track Boom x.wav",
                                     "copy x.wav",
                                     "split --to d --output 0,1 x.wav",
                                     "combine --output o a",
                                     "rename"};
        QTest::newRow("no command") << QStringList();
        for (const char* line : lines)
            QTest::newRow(line) << QString(line).split(' ');
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QByteArray err;
        QCOMPARE(cli(args, nullptr, &err), 2);
        QVERIFY(err.contains("usage"));
    }

    void damagedTakeIsShown()
    {
        const QString p =
            damagedCopy(QDir(m_demo).filePath("T0003.WAV"), m_dir.filePath("cut.wav"), "size 0");
        const QByteArray before = TestUtil::readFile(p);
        int rc = -1;
        const QJsonObject o = infoJson({p}, &rc).at(0).toObject();
        QCOMPARE(rc, 0);
        QVERIFY2(o["damaged"].toString().contains(QRegularExpression(
                     "^the data chunk at byte \\d+ declares 0 bytes, \\d+ follow$")),
                 qPrintable(o["damaged"].toString()));
        QCOMPARE(o["format"].toObject()["totalSamples"].toInt(), 24000); // the audio still plays
        QByteArray out;
        QCOMPARE(cli({"info", p}, &out), 0);
        QVERIFY(out.contains("Scene: 14\n") && out.contains("Track 2: Lav Anna\n"));
        QVERIFY(out.contains("\ndamaged: " + o["damaged"].toString().toUtf8() + "\n"));
        QCOMPARE(TestUtil::readFile(p), before);
    }

    void repairCommand_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("says"); // on stdout, or stderr when rc is 1
        QTest::addColumn<bool>("changes");
        const QString planned = "T.WAV: data size 0 -> 288000"; // 4 tracks, 24 bits, 0.5 s
        QTest::newRow("repair") << QByteArray("size 0") << false << 0 << planned << true;
        QTest::newRow("dry run") << QByteArray("size 0") << true << 0 << planned + " (dry run)"
                                 << false;
        QTest::newRow("undamaged")
            << QByteArray() << false << 0 << "T.WAV: nothing to repair" << false;
        QTest::newRow("not safely repairable")
            << QByteArray("overrun") << false << 1
            << "T.WAV: cannot be repaired safely, left unchanged" << false;
    }

    void repairCommand()
    {
        QFETCH(QByteArray, damage);
        QFETCH(bool, dryRun);
        QFETCH(int, rc);
        QFETCH(QString, says);
        QFETCH(bool, changes);
        QDir::setCurrent(m_dir.path());
        const QString p = damagedCopy(QDir(m_demo).filePath("T0001.WAV"), "T.WAV", damage);
        const QByteArray before = TestUtil::readFile(p);
        QByteArray out, err;
        QCOMPARE(cli(dryRun ? QStringList{"repair", "--dry-run", p} : QStringList{"repair", p},
                     &out, &err),
                 rc);
        QVERIFY2((rc ? err : out).contains(says.toUtf8()), (out + err).constData());
        // Which bytes a repair changes is tested with the repair itself.
        QCOMPARE(TestUtil::readFile(p) != before, changes);
    }

    void nonRegularFilesAreNotWaitedFor_data()
    {
        QTest::addColumn<QStringList>("args"); // GOOD and FIFO stand for the two paths
        QTest::addColumn<int>("rc");
        QTest::addColumn<bool>("reported");
        QTest::newRow("info") << QStringList{"info", "GOOD", "FIFO"} << 1 << true;
        QTest::newRow("info --json") << QStringList{"info", "--json", "FIFO", "GOOD"} << 1 << true;
        QTest::newRow("takes by name") << QStringList{"takes", "FIFO", "GOOD"} << 1 << true;
        QTest::newRow("takes of the folder") << QStringList{"takes", "FOLDER"} << 0 << false;
        QTest::newRow("repair") << QStringList{"repair", "FIFO", "GOOD"} << 1 << true;
    }

    void nonRegularFilesAreNotWaitedFor()
    {
        QFETCH(QStringList, args);
        QFETCH(int, rc);
        QFETCH(bool, reported);
        const QString folder = m_dir.filePath("fifo");
        QVERIFY(QDir().mkpath(folder));
        const QString fifo = QDir(folder).filePath("FIFO.WAV");
        const QString good = QDir(folder).filePath("GOOD.WAV");
        if (!QFileInfo::exists(fifo))
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (!QFileInfo::exists(good))
            QVERIFY(QFile::copy(QDir(m_demo).filePath("T0001.WAV"), good));
        args.replaceInStrings(QRegularExpression("^FIFO$"), fifo);
        args.replaceInStrings(QRegularExpression("^GOOD$"), good);
        args.replaceInStrings(QRegularExpression("^FOLDER$"), folder);
        QByteArray out, err;
        // A reader that opens the FIFO waits for a writer forever: the guard
        // turns that into a failure.
        QCOMPARE(TestUtil::run(QStringLiteral(VELMORA_CLI), args, &out, &err, 10000), rc);
        QCOMPARE(err.contains("FIFO.WAV: not a regular file"), reported);
        QVERIFY2(out.contains("GOOD.WAV") || out.contains("T0001.WAV"), out.constData());
    }
};

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cliinfo.moc"

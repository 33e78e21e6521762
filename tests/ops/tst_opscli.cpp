#include "AudioFile.h"
#include "TestUtil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// "velmora-cli set|copy|split|combine|rename" as a user runs them: the options
// reach the take, the messages the tool prints, and a child process that is
// killed while rewriting or saves the take another one is saving loses
// nothing.
class TestOpsCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_dir; // demo takes: T0001.WAV (poly, 4 tracks), T0002_1..4.WAV (mono)
    QString m_out; // an output folder, empty at the start

    QString path(const QString& name) const { return m_dir + "/" + name; }

    static int cli(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr)
    {
        return TestUtil::run(QStringLiteral(VELMORA_CLI), args, out, err);
    }

    static QJsonObject info(const QString& file)
    {
        QByteArray out;
        cli({"info", "--json", file}, &out);
        return QJsonDocument::fromJson(out).array().at(0).toObject();
    }

    static QString column(const QString& file, const QString& name)
    {
        return info(file).value("columns").toObject().value(name).toString();
    }

    // Arguments with T000* made paths of the demo takes and OUT the output folder.
    QStringList resolved(QStringList args) const
    {
        for (QString& a : args) {
            if (a.startsWith("T000"))
                a = path(a);
            a.replace("OUT", m_out);
        }
        return args;
    }

    // A child run with velmora.ops debug lines on stderr, which mark its steps.
    static void startTraced(QProcess& p, const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "velmora.ops.debug=true");
        p.setProcessEnvironment(env);
        p.setReadChannel(QProcess::StandardError);
        p.start(VELMORA_CLI, args);
    }

    static QByteArray waitForLine(QProcess& p, const QByteArray& mark)
    {
        QByteArray seen;
        while (!seen.contains(mark) && p.state() == QProcess::Running && p.waitForReadyRead(20000))
            seen += p.readAllStandardError();
        return seen;
    }

private slots:
    void init()
    {
        m_dir = m_tmp.filePath("takes");
        m_out = m_tmp.filePath("out");
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_out);
        QCOMPARE(cli({"demo", m_dir, "--takes", "2", "--seconds", "0.5"}), 0);
    }

    void setOptionsReachTheTake()
    {
        const QString take = path("T0001.WAV");
        const QByteArray audio = TestUtil::audioOf(take);
        QByteArray out;
        QCOMPARE(cli({"set", "--scene", "77", "--take", "5", "--circled", "yes", "--frame-rate",
                      "29.97 DF", "--track", "2=Lav:LAV", "--note", "hi", take},
                     &out),
                 0);
        QCOMPARE(out, (take + ": updated in place\n").toUtf8());
        const QJsonObject o = info(take);
        const QJsonObject c = o.value("columns").toObject();
        const QJsonObject track = o.value("tracks").toArray().at(1).toObject();
        QCOMPARE((QStringList{c["Scene"].toString(), c["Take"].toString(), c["Circled"].toString(),
                              c["Frame Rate"].toString(), c["Notes"].toString(),
                              track["Name"].toString(), track["Function"].toString()}),
                 (QStringList{"77", "05", "Y", "29.97 DF", "hi", "Lav", "LAV"}));
        QCOMPARE(cli({"set", "--note", QString(10000, 'n'), take}, &out), 0);
        QCOMPARE(out, (take + ": rewritten\n").toUtf8());
        QCOMPARE(TestUtil::audioOf(take), audio);
    }

    // A command that fails says why in one line per file that names the file
    // once, exits 1 and leaves the takes and the output folder as they were.
    // Every write path refuses a damaged take.
    void failuresSayWhy_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("name"); // the file the message names
        QTest::addColumn<QString>("says");
        const QString damaged = " is damaged: ";
        const QStringList split{"split", "--to", "OUT", "--output", "1", "T0001.WAV"};
        const QStringList combine{"combine", "--output", "OUT/c.WAV", "T0002_1.WAV", "T0002_2.WAV"};
        const QStringList copy{"copy", "--to", "OUT", "T0001.WAV"};
        const struct {
            const char* row;
            QString setup;
            QStringList args;
            QString name, says;
        } rows[] = {
            {"set, track outside the take", "",
             QStringList{"set", "--track", "2=Two", "--track", "5=Five", "T0001.WAV"}, "T0001.WAV",
             "T0001.WAV: track 5 is outside the take's 4 tracks\n"},
            {"set, track outside a mono take", "",
             QStringList{"set", "--track", "9=Nine:BOOM", "T0002_1.WAV"}, "T0002_1.WAV",
             "T0002_1.WAV: track 9 is outside the take's 4 tracks\n"},
            {"copy, damaged", "damaged T0001.WAV", copy, "T0001.WAV", damaged},
            {"copy --overwrite, damaged", "damaged T0001.WAV",
             QStringList{"copy", "--overwrite", "--to", "OUT", "T0001.WAV"}, "T0001.WAV", damaged},
            {"split, damaged", "damaged T0001.WAV", split, "T0001.WAV", damaged},
            {"combine, damaged", "damaged T0002_2.WAV", combine, "T0002_2.WAV", damaged},
            {"split, read-only folder", "read-only folder", split, "T0001_1.WAV", ""},
            {"combine, read-only folder", "read-only folder", combine, "c.WAV", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(r.row) << r.setup << r.args << r.name << r.says;
    }

    void failuresSayWhy()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, args);
        QFETCH(QString, name);
        QFETCH(QString, says);
        if (setup.startsWith("damaged")) {
            // 0xFFFFFFFF in the data size, the audio left in place: what a
            // recorder that lost power leaves.
            const QString file = path(setup.section(' ', 1));
            AudioFile f;
            QFile q(file);
            QVERIFY(f.Open(file) && q.open(QIODevice::ReadWrite) &&
                    q.seek(qint64(f.m_fileDataPos) - 4) && q.write("\xff\xff\xff\xff", 4) == 4);
        }
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        if (setup == "read-only folder")
            QVERIFY(QFile::setPermissions(m_out, QFile::ReadOwner | QFile::ExeOwner));
        QByteArray out, err;
        const int rc = cli(resolved(args), &out, &err);
        QFile::setPermissions(m_out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(rc, 1);
        QVERIFY2(err.startsWith("velmora-cli: ") && err.contains(says.toUtf8()), err.constData());
        if (setup.startsWith("damaged"))
            QVERIFY2(err.endsWith(". Run velmora-cli repair on it first.\n"), err.constData());
        for (const QByteArray& line : err.trimmed().split('\n'))
            QVERIFY2(name.isEmpty() || line.count(name.toUtf8()) == 1, line.constData());
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    // One file of a mono take brings all four; a second run skips them.
    void renameBringsTheWholeTake()
    {
        const QByteArray audio = TestUtil::audioOf(path("T0002_4.WAV"));
        QCOMPARE(cli({"set", "--scene", "7", "--take", "2", "--quiet", path("T0002_1.WAV"),
                      path("T0002_2.WAV"), path("T0002_3.WAV"), path("T0002_4.WAV")}),
                 0);
        QByteArray out;
        QCOMPARE(cli({"rename", path("T0002_3.WAV")}, &out), 0);
        QVERIFY(out.contains("renamed"));
        QCOMPARE(QDir(m_dir).entryList({"7T02*"}),
                 (QStringList{"7T02_1.WAV", "7T02_2.WAV", "7T02_3.WAV", "7T02_4.WAV"}));
        QCOMPARE(TestUtil::audioOf(path("7T02_4.WAV")), audio);
        QCOMPARE(column(path("7T02_3.WAV"), "Current Name"), QStringLiteral("7T02_3.WAV"));
        QCOMPARE(cli({"rename", path("7T02_1.WAV")}, &out), 0);
        QVERIFY(out.contains("skipped"));
    }

    // Two saves of one big take from two processes: the second comes while
    // the first is rewriting (held still once an eighth of its new file is
    // written, as a second save 0.4 s later finds it). The second is refused,
    // naming the take; the first completes; nothing is left over.
    void concurrentSavesNeverOverlap()
    {
        const QString dir = m_tmp.filePath("big");
        QCOMPARE(cli({"demo", dir, "--takes", "1", "--seconds", "90", "--channels", "8", "--layout",
                      "poly"}),
                 0);
        const QString take = dir + "/T0001.WAV";
        const QByteArray audio = TestUtil::audioOf(take);
        QVERIFY(audio.size() > 100000000);
        QProcess first;
        startTraced(first, {"set", "--note", QString(10000, 'a'), take});
        QVERIFY(first.waitForStarted());
        QVERIFY(waitForLine(first, "Init - ok").contains("Init - ok"));
        // Part of the new file written: what a second save reads then is cut.
        for (int i = 0; i < 20000 && QFileInfo(take).size() < audio.size() / 8; ++i)
            QThread::usleep(100);
        ::kill(pid_t(first.processId()), SIGSTOP);
        const bool midway = QFileInfo::exists(dir + "/T0001_updatebackup.WAV");
        QByteArray out, err;
        const int second = cli({"set", "--note", QString(10000, 'b'), take}, &out, &err);
        ::kill(pid_t(first.processId()), SIGCONT);
        QVERIFY(first.waitForFinished(120000));
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(first.readAllStandardOutput().endsWith(": rewritten\n"));
        if (midway) {
            QCOMPARE(second, 1);
            QVERIFY2(err.contains("T0001.WAV is being saved by another process"), err.constData());
        } else {
            qInfo("the first save was done before it could be stopped");
            QCOMPARE(second, 0);
        }
        QCOMPARE(TestUtil::audioOf(take), audio);
        QCOMPARE(column(take, "Notes"), QString(10000, midway ? 'a' : 'b'));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"T0001.WAV"});
    }

    // Killed at random points of a full rewrite (a save, or a rename whose
    // new metadata does not fit): afterwards the take's audio is complete,
    // byte for byte, under one of its names, no take name holds a cut file,
    // and a second run reports what was left instead of working on it.
    void killedDuringRewriteLosesNothing_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("set") << "set";
        QTest::newRow("rename") << "rename";
    }

    void killedDuringRewriteLosesNothing()
    {
        QFETCH(QString, command);
        const QString dir = m_tmp.filePath("big");
        QDir().mkpath(dir);
        const QString take = dir + "/T0001.WAV";
        TestTake shape;
        shape.channels = 4;
        shape.frames = 400000;
        // For a rename, an iXML chunk with no room: its metadata needs a rewrite.
        shape.metadata = command == "set";
        shape.ixml = "<BWFXML><SCENE>5</SCENE><TAKE>1</TAKE></BWFXML>";
        QVERIFY(!TestUtil::writeTake(take, shape).isEmpty());
        const QByteArray original = TestUtil::readFile(take);
        const QByteArray audio = TestUtil::audioOf(take);
        QRandomGenerator rng(20240606);
        int midway = 0; // rounds that left a backup or partial: killed inside the rewrite
        for (int round = 0; round < 12; ++round) {
            const QStringList args =
                command == "set" ? QStringList{"set", "--note", QString(10000 + round, 'n'), take}
                                 : QStringList{"rename", take};
            // The child's diagnostics mark the start of the update ("source
            // name") and the moment the new file exists ("Init - ok"); the
            // kill comes 0 to 25 ms later.
            QProcess p;
            startTraced(p, args);
            QVERIFY(p.waitForStarted());
            waitForLine(p, round % 2 ? "Init - ok" : "source name");
            QThread::usleep(rng.bounded(0u, 25000u));
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            const QString at = QStringLiteral("round %1").arg(round);

            const QMap<QString, QByteArray> left = TestUtil::snapshot(dir);
            const bool leftover = !QDir(dir)
                                       .entryList({"*_updatebackup*", "*.velmora-partial"},
                                                  QDir::Files | QDir::Hidden)
                                       .isEmpty();
            midway += leftover;
            bool whole = false;
            for (const QString& n : left.keys()) {
                const bool intact = TestUtil::audioOf(dir + "/" + n) == audio;
                whole = whole || intact;
                QVERIFY2(intact || leftover || !n.endsWith(".WAV"), qPrintable(at + n));
            }
            QVERIFY2(whole, qPrintable(at));
            QByteArray err;
            const int again = cli(args, nullptr, &err);
            if (leftover) {
                QVERIFY2(again == 1, qPrintable(at));
                QVERIFY2(err.contains(command == "set" ? "an earlier save did not finish"
                                                       : "an earlier rename did not finish"),
                         err.constData());
                QVERIFY2(TestUtil::snapshot(dir) == left, qPrintable(at));
            }
            // Start the next round from the original take.
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            QVERIFY(TestUtil::writeFile(take, original));
        }
        qInfo("%d of 12 kills hit the rewrite", midway);
    }
};

QTEST_GUILESS_MAIN(TestOpsCli)
#include "tst_opscli.moc"

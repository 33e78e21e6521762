#include "AudioFile.h"
#include "OpsTestKit.h"
#include "TestUtil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// End-to-end tests of "velmora-cli set|copy|split|combine": round trips
// through "info --json", other readers of the results, usage errors, and a
// child process that hits a file-size limit or is killed while rewriting.
class TestOpsCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_dir; // demo takes: T0001.WAV (poly, 4 tracks), T0002_1..4.WAV (mono)

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

    // Writes 0xFFFFFFFF into the data size of the take at file, the audio
    // left in place: what a recorder that lost power leaves.
    static bool damage(const QString& file)
    {
        AudioFile f;
        QFile q(file);
        return f.Open(file) && q.open(QIODevice::ReadWrite) &&
               q.seek(qint64(f.m_fileDataPos) - 4) && q.write("\xff\xff\xff\xff", 4) == 4;
    }

    // Arguments with T000* made paths of the demo takes and OUT the output folder.
    QStringList resolved(QStringList args, const QString& out) const
    {
        for (QString& a : args) {
            if (a.startsWith("T000"))
                a = path(a);
            a.replace("OUT", out);
        }
        return args;
    }

    // The bytes of every demo take file, by name.
    QMap<QString, QByteArray> demoFiles() const
    {
        QMap<QString, QByteArray> files;
        for (const QString& f : QDir(m_dir).entryList(QDir::Files | QDir::Hidden))
            files.insert(f, TestUtil::readFile(path(f)));
        return files;
    }

private slots:
    void init()
    {
        m_dir = m_tmp.filePath("takes");
        QDir(m_dir).removeRecursively();
        QCOMPARE(cli({"demo", m_dir, "--takes", "2", "--seconds", "0.5", "--quiet"}), 2);
        QCOMPARE(cli({"demo", m_dir, "--takes", "2", "--seconds", "0.5"}), 0);
    }

    void setWritesWhatInfoReads()
    {
        const QString take = path("T0001.WAV");
        const QByteArray audio = OpsTestKit::audioOf(take);
        QByteArray out, err;
        QCOMPARE(cli({"set", "--scene", "77", "--take", "5", "--circled", "yes", "--frame-rate",
                      "29.97 DF", "--track", "2=Lav:LAV", "--note", "hi", take},
                     &out, &err),
                 0);
        QCOMPARE(out, (take + ": updated in place\n").toUtf8());
        QCOMPARE(column(take, "Scene"), QStringLiteral("77"));
        QCOMPARE(column(take, "Take"), QStringLiteral("05"));
        QCOMPARE(column(take, "Circled"), QStringLiteral("Y"));
        QCOMPARE(column(take, "Frame Rate"), QStringLiteral("29.97 DF"));
        QCOMPARE(column(take, "Notes"), QStringLiteral("hi"));
        const QJsonObject track = info(take).value("tracks").toArray().at(1).toObject();
        QCOMPARE(track.value("Name").toString(), QStringLiteral("Lav"));
        QCOMPARE(track.value("Function").toString(), QStringLiteral("LAV"));

        QCOMPARE(cli({"set", "--note", QString(10000, 'n'), take}, &out), 0);
        QCOMPARE(out, (take + ": rewritten\n").toUtf8());
        QCOMPARE(column(take, "Notes").size(), 10000);
        QCOMPARE(column(take, "Scene"), QStringLiteral("77"));
        QCOMPARE(OpsTestKit::audioOf(take), audio);
        QVERIFY(OpsTestKit::ixmlIsWellFormed(take));
        QVERIFY(OpsTestKit::filesContaining(m_dir, "_updatebackup").isEmpty());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("set, nothing") << QStringList{"set"};
        QTest::newRow("set, no field") << QStringList{"set", "x.wav"};
        QTest::newRow("set, no value") << QStringList{"set", "x.wav", "--scene"};
        QTest::newRow("set, circled") << QStringList{"set", "--circled", "maybe", "x.wav"};
        QTest::newRow("set, frame rate") << QStringList{"set", "--frame-rate", "31", "x.wav"};
        QTest::newRow("set, sample rate") << QStringList{"set", "--sample-rate", "12", "x.wav"};
        QTest::newRow("set, track") << QStringList{"set", "--track", "Boom", "x.wav"};
        QTest::newRow("set, option") << QStringList{"set", "--bogus", "1", "x.wav"};
        QTest::newRow("copy, no folder") << QStringList{"copy", "x.wav"};
        QTest::newRow("split, no output") << QStringList{"split", "--to", "d", "x.wav"};
        QTest::newRow("split, track 0")
            << QStringList{"split", "--to", "d", "--output", "0,1", "x.wav"};
        QTest::newRow("combine, one file") << QStringList{"combine", "--output", "o", "a"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QByteArray err;
        QCOMPARE(cli(args, nullptr, &err), 2);
        QVERIFY(err.contains("usage"));
    }

    void copySplitCombineRoundTrip()
    {
        const QString out = m_tmp.filePath("out");
        QDir().mkpath(out);
        const QString poly = path("T0001.WAV");
        const QByteArray audio = OpsTestKit::audioOf(poly);
        QByteArray o, err;
        QCOMPARE(cli({"copy", "--to", out, poly}, &o), 0);
        QCOMPARE(OpsTestKit::audioOf(out + "/T0001.WAV"), audio);
        QCOMPARE(cli({"copy", "--to", out, poly}, nullptr, &err), 1); // exists
        QVERIFY(err.contains("already exists"));
        QCOMPARE(cli({"copy", "--to", m_dir, poly}, nullptr, &err), 1);
        QVERIFY(err.contains("Source and Destination are the same.\n Please select a different "
                             "Destination."));

        QCOMPARE(cli({"split", "--to", out, "--output", "3,1", "--output", "2", poly}, &o), 0);
        const QString s13 = out + "/T0001_1_3.WAV", s2 = out + "/T0001_2.WAV";
        QCOMPARE(o, ("wrote " + s13 + "\nwrote " + s2 + "\n").toUtf8());
        const QByteArray a13 = OpsTestKit::audioOf(s13);
        QCOMPARE(OpsTestKit::channelOf(a13, 2, 3, 1), OpsTestKit::channelOf(audio, 4, 3, 2));
        QCOMPARE(OpsTestKit::audioOf(s2), OpsTestKit::channelOf(audio, 4, 3, 1));
        const QJsonObject i13 = info(s13);
        QCOMPARE(i13.value("history").toObject().value("Parent Name").toString(),
                 QStringLiteral("T0001.WAV"));
        QCOMPARE(i13.value("fileSet").toObject().value("File Count").toString(),
                 QStringLiteral("2"));
        QCOMPARE(cli({"split", "--to", out, "--output", "5", poly}, nullptr, &err), 1);
        QVERIFY(err.contains("there is no track 5"));

        QStringList mono;
        for (int i = 1; i <= 4; ++i)
            mono << path(QStringLiteral("T0002_%1.WAV").arg(i));
        const QString comb = out + "/T0002_1_2_3_4.WAV";
        QCOMPARE(cli(QStringList{"combine", "--output", comb} + mono, &o), 0);
        const QByteArray c = OpsTestKit::audioOf(comb);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(OpsTestKit::channelOf(c, 4, 3, i), OpsTestKit::audioOf(mono.at(i)));
        QCOMPARE(info(comb).value("fileSet").toObject().value("File Count").toString(),
                 QStringLiteral("1"));

        // Other readers accept every result.
        const QStringList results{out + "/T0001.WAV", s13, s2, comb};
        if (!QStandardPaths::findExecutable("sox").isEmpty()) {
            for (const QString& f : results) {
                QCOMPARE(TestUtil::run("sox", {"--i", f}, nullptr, &err), 0);
                QVERIFY2(err.isEmpty(), err.constData());
            }
        }
        if (!QStandardPaths::findExecutable("mediainfo").isEmpty()) {
            for (const QString& f : results) {
                QCOMPARE(TestUtil::run("mediainfo", {"--Inform=Audio;%Channels%", f}, &o), 0);
                QVERIFY(o.trimmed().toInt() >= 1);
            }
        }
        if (!QStandardPaths::findExecutable("ffprobe").isEmpty()) {
            for (const QString& f : results) {
                QCOMPARE(TestUtil::run("ffprobe", {"-v", "error", f}, nullptr, &err), 0);
                QVERIFY2(err.isEmpty(), err.constData());
            }
        }
    }

    void combineRefusesMismatchedFiles()
    {
        const QString other = m_tmp.filePath("other");
        QDir().mkpath(other);
        QCOMPARE(cli({"copy", "--to", other, path("T0002_2.WAV")}), 0);
        QCOMPARE(cli({"set", "--timestamp", "5", other + "/T0002_2.WAV"}), 0);
        QByteArray err;
        QCOMPARE(cli({"combine", "--output", m_tmp.filePath("c.WAV"), path("T0002_1.WAV"),
                      other + "/T0002_2.WAV"},
                     nullptr, &err),
                 1);
        QVERIFY(err.contains("The selected files cannot be combined.\n Parameters do not match."));
        QVERIFY(!QFile::exists(m_tmp.filePath("c.WAV")));
    }

    void unwritableTakeFails()
    {
        const QString take = path("T0001.WAV");
        const QByteArray before = TestUtil::readFile(take);
        QFile::setPermissions(take, QFile::ReadOwner | QFile::ReadGroup);
        QByteArray err;
        const int rc = cli({"set", "--scene", "1", take}, nullptr, &err);
        QFile::setPermissions(take, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(rc, 1);
        QVERIFY(err.contains(take.toUtf8() + ": the file is read-only"));
        QCOMPARE(TestUtil::readFile(take), before);
    }

    // A track the take does not have is an error; nothing is written.
    void setRefusesATrackOutsideTheTake_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("track");
        QTest::newRow("polyphonic") << "T0001.WAV"
                                    << "5=Five";
        QTest::newRow("file of a mono take") << "T0002_1.WAV"
                                             << "5=Five";
        QTest::newRow("with a good one") << "T0001.WAV"
                                         << "9=Nine:BOOM";
    }

    void setRefusesATrackOutsideTheTake()
    {
        QFETCH(QString, file);
        QFETCH(QString, track);
        const QMap<QString, QByteArray> before = demoFiles();
        QByteArray out, err;
        QCOMPARE(cli({"set", "--track", "2=Two", "--track", track, path(file)}, &out, &err), 1);
        const QString expected =
            QStringLiteral("velmora-cli: %1: track %2 is outside the take's 4 tracks\n")
                .arg(path(file), track.section('=', 0, 0));
        QCOMPARE(QString::fromUtf8(err), expected);
        QVERIFY(out.isEmpty());
        QCOMPARE(demoFiles(), before);
    }

    // A take whose data size disagrees with the file is refused by copy,
    // split and combine; it and the output folder stay as they were.
    void damagedTakesAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("damaged");
        QTest::newRow("copy") << QStringList{"copy", "--to", "OUT", "T0001.WAV"} << "T0001.WAV";
        QTest::newRow("copy, overwrite")
            << QStringList{"copy", "--overwrite", "--to", "OUT", "T0001.WAV"} << "T0001.WAV";
        QTest::newRow("split") << QStringList{"split", "--to", "OUT", "--output", "1", "T0001.WAV"}
                               << "T0001.WAV";
        QTest::newRow("combine") << QStringList{"combine", "--output", "OUT/c.WAV", "T0002_1.WAV",
                                                "T0002_2.WAV"}
                                 << "T0002_2.WAV";
    }

    void damagedTakesAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, damaged);
        const QString out = m_tmp.filePath("out");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        QVERIFY(damage(path(damaged)));
        const QMap<QString, QByteArray> before = demoFiles();
        QByteArray err;
        QCOMPARE(cli(resolved(args, out), nullptr, &err), 1);
        QVERIFY2(err.startsWith("velmora-cli: " + path(damaged).toUtf8() + " is damaged: "),
                 err.constData());
        QVERIFY2(err.endsWith(". Run velmora-cli repair on it first.\n"), err.constData());
        QCOMPARE(demoFiles(), before);
        QVERIFY(
            QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    }

    // Every line a failing command prints names the failing file once.
    void failureLinesNameTheFileOnce_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("name");
        QTest::newRow("set, no such track")
            << "" << QStringList{"set", "--track", "7=x", "T0001.WAV"} << "T0001.WAV";
        QTest::newRow("copy, destination exists")
            << "copied" << QStringList{"copy", "--to", "OUT", "T0001.WAV"} << "T0001.WAV";
        QTest::newRow("copy, read-only folder")
            << "read-only folder" << QStringList{"copy", "--to", "OUT", "T0001.WAV"} << "T0001.WAV";
        QTest::newRow("split, read-only folder")
            << "read-only folder"
            << QStringList{"split", "--to", "OUT", "--output", "1", "T0001.WAV"} << "T0001_1.WAV";
        QTest::newRow("combine, read-only folder")
            << "read-only folder"
            << QStringList{"combine", "--output", "OUT/c.WAV", "T0002_1.WAV", "T0002_2.WAV"}
            << "c.WAV";
        QTest::newRow("rename, name too long")
            << "long scene" << QStringList{"rename", "T0001.WAV"} << "T0001.WAV";
    }

    void failureLinesNameTheFileOnce()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, args);
        QFETCH(QString, name);
        const QString out = m_tmp.filePath("out");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        const QString take = path("T0001.WAV");
        if (setup == "copied")
            QVERIFY(QFile::copy(take, out + "/T0001.WAV"));
        else if (setup == "read-only folder")
            QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ExeOwner));
        else if (setup == "long scene")
            QCOMPARE(cli({"set", "--scene", QString(300, 'S'), take}), 0);
        QByteArray err;
        const int rc = cli(resolved(args, out), nullptr, &err);
        QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(rc, 1);
        const QList<QByteArray> lines = err.trimmed().split('\n');
        QVERIFY(!err.trimmed().isEmpty());
        for (const QByteArray& line : lines)
            QVERIFY2(line.count(name.toUtf8()) == 1, line.constData());
    }

    // The child may write 150 kB per file: every operation fails part-way
    // and leaves the takes as they were, with nothing half-written.
    void fileSizeLimitInAChild_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("set, rewrite")
            << QStringList{"set", "--note", QString(10000, 'n'), "T0001.WAV"};
        QTest::newRow("copy") << QStringList{"copy", "--to", "OUT", "T0001.WAV"};
        QTest::newRow("split") << QStringList{"split", "--to",     "OUT", "--output",
                                              "1,2,3", "--output", "4",   "T0001.WAV"};
        QTest::newRow("combine") << QStringList{"combine",     "--output",    "OUT/c.WAV",
                                                "T0002_1.WAV", "T0002_2.WAV", "T0002_3.WAV",
                                                "T0002_4.WAV"};
    }

    void fileSizeLimitInAChild()
    {
        QFETCH(QStringList, args);
        if (QStandardPaths::findExecutable("prlimit").isEmpty())
            QSKIP("prlimit is not installed");
        const QString out = m_tmp.filePath("out");
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        for (QString& a : args) {
            if (a.startsWith("T000"))
                a = path(a);
            a.replace("OUT", out);
        }
        const QStringList before = QDir(m_dir).entryList(QDir::Files);
        QList<QByteArray> bytes;
        for (const QString& f : before)
            bytes << TestUtil::readFile(path(f));
        QByteArray err;
        QCOMPARE(TestUtil::run("prlimit", QStringList{"--fsize=150000", VELMORA_CLI} + args,
                               nullptr, &err),
                 1);
        QVERIFY2(err.contains("File too large"), err.constData());
        QCOMPARE(QDir(m_dir).entryList(QDir::Files), before);
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(TestUtil::readFile(path(before.at(i))), bytes.at(i));
        QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
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
        const QByteArray audio = OpsTestKit::audioOf(take);
        QVERIFY(audio.size() > 100000000);
        QProcess first;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "velmora.ops.debug=true");
        first.setProcessEnvironment(env);
        first.start(VELMORA_CLI, {"set", "--note", QString(10000, 'a'), take});
        QVERIFY(first.waitForStarted());
        first.setReadChannel(QProcess::StandardError);
        QByteArray seen;
        while (!seen.contains("Init - ok") && first.waitForReadyRead(20000))
            seen += first.readAllStandardError();
        QVERIFY(seen.contains("Init - ok"));
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
        QCOMPARE(OpsTestKit::audioOf(take), audio);
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
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        const QString take = dir + "/T0001.WAV";
        QString renamed; // the rename's new name
        if (command == "set") {
            QCOMPARE(cli({"demo", dir, "--takes", "1", "--seconds", "8", "--channels", "4",
                          "--layout", "poly"}),
                     0);
        } else {
            // An iXML chunk with no room: the rename's metadata needs a rewrite.
            OpsTake shape;
            shape.channels = 4;
            shape.frames = 400000;
            shape.metadata = false;
            shape.ixml = "<BWFXML><SCENE>5</SCENE><TAKE>1</TAKE></BWFXML>";
            QVERIFY(!OpsTestKit::write(take, shape).isEmpty());
        }
        const QByteArray original = TestUtil::readFile(take);
        const QByteArray audio = OpsTestKit::audioOf(take);
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
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_LOGGING_RULES", "velmora.ops.debug=true");
            p.setProcessEnvironment(env);
            p.start(VELMORA_CLI, args);
            QVERIFY(p.waitForStarted());
            p.setReadChannel(QProcess::StandardError);
            const QByteArray mark = round % 2 ? "Init - ok" : "source name";
            QByteArray seen;
            while (!seen.contains(mark) && p.state() == QProcess::Running &&
                   p.waitForReadyRead(10000))
                seen += p.readAllStandardError();
            const QRegularExpression dest("dest name \"([^\"]+)\"");
            if (renamed.isEmpty() && command == "rename")
                renamed = dest.match(QString::fromUtf8(seen)).captured(1);
            QThread::usleep(rng.bounded(0u, 25000u));
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            const QString at = QStringLiteral("round %1").arg(round);

            const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
            QList<QByteArray> bytes;
            bool whole = false;
            for (const QString& n : names) {
                bytes << TestUtil::readFile(dir + "/" + n);
                whole = whole || OpsTestKit::audioOf(dir + "/" + n) == audio;
            }
            QVERIFY2(whole, qPrintable(at));
            const bool leftover = !OpsTestKit::filesContaining(dir, "_updatebackup").isEmpty() ||
                                  !OpsTestKit::filesContaining(dir, ".velmora-partial").isEmpty();
            midway += leftover;
            for (const QString& n : names) {
                if (!leftover && n.endsWith(".WAV"))
                    QVERIFY2(OpsTestKit::audioOf(dir + "/" + n) == audio, qPrintable(at + n));
            }
            QByteArray err;
            const int again = cli(args, nullptr, &err);
            if (leftover) {
                QVERIFY2(again == 1, qPrintable(at));
                QVERIFY2(err.contains(command == "set" ? "an earlier save did not finish"
                                                       : "an earlier rename did not finish"),
                         err.constData());
                QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), names);
                for (int i = 0; i < names.size(); ++i)
                    QVERIFY2(TestUtil::readFile(dir + "/" + names.at(i)) == bytes.at(i),
                             qPrintable(at));
            }
            // Start the next round from the original take.
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            QVERIFY(TestUtil::writeFile(take, original));
        }
        qInfo("%d of 12 kills hit the rewrite", midway);
        QVERIFY(command == "set" || renamed.endsWith("/5T01.WAV"));
    }
};

QTEST_GUILESS_MAIN(TestOpsCli)
#include "tst_opscli.moc"

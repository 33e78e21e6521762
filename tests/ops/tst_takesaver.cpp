#include "OpsTestKit.h"
#include "SafeFileOps.h"
#include "TakeLock.h"
#include "TakeSaver.h"
#include "TestUtil.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace SoundDefs;

// The save service: edits reach the file through the setters, the take is
// updated in place or rewritten, and only the backups the run made go.
class TestTakeSaver : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString path(const QString& name) const { return m_tmp.filePath(name); }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
    }

    void backupName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("backup");
        QTest::newRow("mono") << "/d/T012_3.wav"
                              << "/d/T012_3_updatebackup.wav";
        QTest::newRow("dots") << "/d.x/T.1.WAV"
                              << "/d.x/T.1_updatebackup.WAV";
        QTest::newRow("no extension") << "/d.x/T012"
                                      << "/d.x/T012_updatebackup";
    }

    void backupName()
    {
        QFETCH(QString, path);
        QFETCH(QString, backup);
        QCOMPARE(TakeSaver::backupPathFor(path), backup);
    }

    void everyFieldReachesTheFile()
    {
        OpsTake shape;
        shape.channels = 3;
        const QString take = path("T1.WAV");
        const QByteArray audio = OpsTestKit::write(take, shape);
        TakeEdits e;
        e.frameRate = "29.97 DF";
        e.sampleRate = "96000";
        e.samplesSinceMidnight = "123456789";
        e.project = "Film";
        e.scene = "44B";
        e.tape = "DAY02";
        e.take = "7";
        e.ubits = "11223344";
        e.notes = "plane";
        e.user = "mixer";
        e.circled = "Y";
        e.wild = "Y";
        e.tracks = {{2, "Lav A", QString("LAV")}, {3, "Plant", std::nullopt}, {9, "none", {}}};
        TakeSaver saver;
        const auto results = saver.run({take}, e);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(results.at(0).inPlace);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetFrameRate(), QStringLiteral("29.97 DF"));
        QCOMPARE(f.GetSampleRate(), 96000u);
        QCOMPARE(f.GetTimeStampSampleRate(), QStringLiteral("96000"));
        QCOMPARE(f.GetSamplesSinceMidnight(), QStringLiteral("123456789"));
        QCOMPARE(f.GetProjectName(), QStringLiteral("Film"));
        QCOMPARE(f.GetSceneName(), QStringLiteral("44B"));
        QCOMPARE(f.GetTapeName(), QStringLiteral("DAY02"));
        QCOMPARE(f.GetTakeName(), QStringLiteral("07"));
        QCOMPARE(f.GetUBITs(), QStringLiteral("11223344"));
        QCOMPARE(f.GetNotes(), QStringLiteral("plane"));
        QCOMPARE(f.GetUserInfo(), QStringLiteral("mixer"));
        QCOMPARE(f.GetCircled(), QStringLiteral("Y"));
        QCOMPARE(f.GetWild(), QStringLiteral("Y"));
        const QList<QStringList> tracks = f.GetTracksInfo();
        QCOMPARE(tracks.at(0), (QStringList{"1", "1", "Trk1", "BOOM"}));
        QCOMPARE(tracks.at(1), (QStringList{"2", "2", "Lav A", "LAV"}));
        QCOMPARE(tracks.at(2), (QStringList{"3", "3", "Plant", ""}));
        QCOMPARE(OpsTestKit::audioOf(take), audio);
    }

    void severalTakesNeverGetTheTakeName()
    {
        const QString take = path("T1.WAV");
        QVERIFY(!OpsTestKit::write(take, OpsTake()).isEmpty());
        TakeEdits e;
        e.take = "99";
        e.scene = "5";
        TakeSaver saver;
        saver.run({take}, e, true);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetSceneName(), QStringLiteral("5"));
        QCOMPARE(f.GetTakeName(), QStringLiteral("03"));
    }

    void aMonoFileTakesItsOwnTrackOnly_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("name");
        QTest::newRow("its channel") << 3 << "Lav C";
        QTest::newRow("another channel") << 2 << "Trk3";
    }

    void aMonoFileTakesItsOwnTrackOnly()
    {
        QFETCH(int, channel);
        QFETCH(QString, name);
        OpsTake shape;
        shape.channels = 1;
        shape.firstChannel = 3;
        const QString take = path("T1_3.WAV");
        QVERIFY(!OpsTestKit::write(take, shape).isEmpty());
        TakeEdits e;
        e.tracks = {{channel, "Lav C", {}}};
        TakeSaver saver;
        saver.run({take}, e);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetTracksInfo().at(0).at(2), name);
    }

    // One take rewritten (its note outgrows the iXML chunk), one bare take
    // updated in place (chunks appended). Another take's stale backup stays;
    // the backup of the rewritten take goes.
    void onlyItsOwnBackupsAreRemoved()
    {
        const QString rich = path("T1.WAV"), bare = path("T2.WAV");
        const QByteArray richAudio = OpsTestKit::write(rich, OpsTake());
        OpsTake b;
        b.metadata = false;
        const QByteArray bareAudio = OpsTestKit::write(bare, b);
        QVERIFY(TestUtil::writeFile(path("T9_updatebackup.WAV"), "stale of T9"));
        TakeEdits e;
        e.notes = QString(10000, QLatin1Char('x'));
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        QSignalSpy done(&saver, &TakeBatch::itemFinished);
        const auto results = saver.run({rich, bare}, e);
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(!results.at(0).inPlace);
        QCOMPARE(results.at(1).outcome, TakeBatch::Outcome::Done);
        QVERIFY(results.at(1).inPlace);
        QCOMPARE(done.size(), 2);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(OpsTestKit::audioOf(rich), richAudio);
        QCOMPARE(OpsTestKit::audioOf(bare), bareAudio);
        QCOMPARE(OpsTestKit::filesContaining(m_tmp.path(), "_updatebackup"),
                 QStringList{"T9_updatebackup.WAV"});
        QCOMPARE(TestUtil::readFile(path("T9_updatebackup.WAV")), QByteArray("stale of T9"));
    }

    void aFailureEndsTheRunWhenAsked_data()
    {
        QTest::addColumn<bool>("stopOnError");
        QTest::addColumn<int>("handled");
        QTest::newRow("editor save") << true << 1;
        QTest::newRow("every path") << false << 2;
    }

    void aFailureEndsTheRunWhenAsked()
    {
        QFETCH(bool, stopOnError);
        QFETCH(int, handled);
        const QString take = path("T1.WAV");
        QVERIFY(!OpsTestKit::write(take, OpsTake()).isEmpty());
        TakeEdits e;
        e.scene = "9";
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        const auto results = saver.run({path("missing.WAV"), take}, e, false, stopOnError);
        QCOMPARE(results.size(), handled);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Failed);
        QCOMPARE(results.at(0).reason, QStringLiteral("no such file"));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetSceneName(), stopOnError ? QStringLiteral("12A") : QStringLiteral("9"));
    }

    // A take is locked before it is read; one that another saver has, or
    // whose last save did not finish, or that is no file to write, is
    // refused at once with the reason and left as it is.
    void aTakeThatCannotBeLockedIsRefused_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("error");
        const QString busy = QStringLiteral("T1.WAV is being saved by another process");
        QTest::newRow("another saver has it") << "locked" << busy;
        QTest::newRow("another saver moved it to its backup name") << "backup locked" << busy;
        QTest::newRow("an earlier save did not finish")
            << "backup"
            << "T1_updatebackup.WAV exists: an earlier save did not finish; check it "
               "and remove or restore it";
        QTest::newRow("a FIFO") << "fifo"
                                << "not a regular file";
    }

    void aTakeThatCannotBeLockedIsRefused()
    {
        QFETCH(QString, situation);
        QFETCH(QString, error);
        const QString take = path("T1.WAV"), backup = path("T1_updatebackup.WAV");
        TakeLock other;
        if (situation == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(take).constData(), 0644), 0);
        } else {
            QVERIFY(!OpsTestKit::write(take, OpsTake()).isEmpty());
            if (situation.startsWith("backup"))
                QVERIFY(TestUtil::writeFile(backup, "the take, moved by a saver"));
            if (situation == "locked")
                QVERIFY(other.acquire(take));
            if (situation == "backup locked")
                QVERIFY(other.acquire(backup));
        }
        const QByteArray before = situation == "fifo" ? QByteArray() : TestUtil::readFile(take);
        TakeEdits e;
        e.scene = "9";
        e.notes = QString(10000, QLatin1Char('x'));
        TakeSaver saver;
        const auto results = saver.run({take}, e);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Failed);
        QCOMPARE(results.at(0).reason, error);
        if (situation != "fifo")
            QCOMPARE(TestUtil::readFile(take), before);
        if (situation.startsWith("backup"))
            QCOMPARE(TestUtil::readFile(backup), QByteArray("the take, moved by a saver"));
    }

    // A take that must not be written fails with what a caller needs to
    // answer it: damaged size fields, or an iXML that did not parse (which
    // the caller may have rebuilt); the file stays byte for byte as it was.
    void refusalsSayWhy_data()
    {
        QTest::addColumn<QByteArray>("ixml");
        QTest::addColumn<int>("chop");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<bool>("unparsable");
        const QByteArray good("<BWFXML><SCENE>5</SCENE></BWFXML>");
        const QByteArray bad("<BWFXML><NOTE>fish & chips</NOTE><SCENE>5</SCENE></BWFXML>");
        QTest::newRow("data past the end") << good << 1000 << true << false;
        QTest::newRow("damaged with a bad iXML") << bad << 1000 << true << false;
        QTest::newRow("iXML does not parse") << bad << 0 << false << true;
    }

    void refusalsSayWhy()
    {
        QFETCH(QByteArray, ixml);
        QFETCH(int, chop);
        QFETCH(bool, damaged);
        QFETCH(bool, unparsable);
        OpsTake shape;
        shape.metadata = false;
        shape.ixml = ixml;
        const QString take = path("T1.WAV");
        QVERIFY(!OpsTestKit::write(take, shape).isEmpty());
        QByteArray before = TestUtil::readFile(take);
        before.chop(chop);
        QVERIFY(TestUtil::writeFile(take, before));
        TakeEdits e;
        e.notes = QString(10000, QLatin1Char('n'));
        const auto results = TakeSaver().run({take}, e);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Failed);
        QCOMPARE(results.at(0).damaged, damaged);
        QCOMPARE(results.at(0).ixmlError.isEmpty(), !unparsable);
        if (unparsable)
            QVERIFY(results.at(0).reason.contains(results.at(0).ixmlError));
        QCOMPARE(TestUtil::readFile(take), before);
        if (!unparsable)
            return;
        const QByteArray audio = OpsTestKit::audioOf(take);
        e.rebuildIxml = true;
        const auto rebuilt = TakeSaver().run({take}, e);
        QCOMPARE(rebuilt.at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(rebuilt.at(0).ixmlError.isEmpty());
        QVERIFY(OpsTestKit::ixmlIsWellFormed(take));
        QCOMPARE(OpsTestKit::audioOf(take), audio);
    }

    // The write check of takes handed to the worker without a lock.
    void writeChecksKnowFilesThatAreNoTakes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("problem");
        QTest::newRow("regular file") << "file" << QString();
        QTest::newRow("FIFO") << "fifo"
                              << "not a regular file";
        QTest::newRow("device") << "/dev/null"
                                << "not a regular file";
    }

    void writeChecksKnowFilesThatAreNoTakes()
    {
        QFETCH(QString, kind);
        QFETCH(QString, problem);
        const QString p = kind.startsWith('/') ? kind : path("T.WAV");
        if (kind == "file")
            QVERIFY(TestUtil::writeFile(p, "x"));
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(p).constData(), 0666), 0);
        QCOMPARE(SafeFileOps::fileWriteProblem(p), problem);
    }

    // Aborted while rewriting: the take is whole, new or as it was, and no
    // backup is left behind.
    void abortLeavesTheTakeWhole()
    {
        OpsTake big;
        big.channels = 8;
        big.frames = 200000;
        const QString take = path("T1.WAV");
        const QByteArray audio = OpsTestKit::write(take, big);
        const QByteArray before = TestUtil::readFile(take);
        TakeEdits e;
        e.notes = QString(10000, QLatin1Char('x'));
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        connect(
            &saver, &TakeBatch::itemStarted, &saver,
            [&] { QMetaObject::invokeMethod(&saver, [&] { saver.abort(); }); },
            Qt::QueuedConnection);
        QVERIFY(saver.start({take, take}, e));
        QVERIFY(finished.wait(60000));
        QVERIFY(saver.results().size() == 1);
        const TakeBatch::ItemResult& r0 = saver.results().at(0);
        const TakeBatch::Outcome o = r0.outcome;
        if (o == TakeBatch::Outcome::Cancelled) {
            QCOMPARE(TestUtil::readFile(take), before);
        } else {
            QCOMPARE(o, TakeBatch::Outcome::Done);
            QVERIFY(!r0.inPlace);
        }
        QCOMPARE(OpsTestKit::audioOf(take), audio);
        QVERIFY(OpsTestKit::filesContaining(m_tmp.path(), "_updatebackup").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTakeSaver)
#include "tst_takesaver.moc"

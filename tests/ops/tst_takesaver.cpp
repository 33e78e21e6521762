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
// locked, updated in place or rewritten, and only the backups the run made go.
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

    void everyFieldReachesTheFile()
    {
        TestTake shape;
        shape.channels = 3;
        const QString take = path("T1.WAV");
        const QByteArray audio = TestUtil::writeTake(take, shape);
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
        const auto results = TakeSaver().run({take}, e);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(results.at(0).inPlace);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetSampleRate(), 96000u);
        QCOMPARE(
            (QStringList{f.GetFrameRate(), f.GetTimeStampSampleRate(), f.GetSamplesSinceMidnight(),
                         f.GetProjectName(), f.GetSceneName(), f.GetTapeName(), f.GetTakeName(),
                         f.GetUBITs(), f.GetNotes(), f.GetUserInfo(), f.GetCircled(), f.GetWild()}),
            (QStringList{"29.97 DF", "96000", "123456789", "Film", "44B", "DAY02", "07", "11223344",
                         "plane", "mixer", "Y", "Y"}));
        QCOMPARE(f.GetTracksInfo(), (QList<QStringList>{{"1", "1", "Trk1", "BOOM"},
                                                        {"2", "2", "Lav A", "LAV"},
                                                        {"3", "3", "Plant", ""}}));
        QCOMPARE(TestUtil::audioOf(take), audio);
    }

    // Each job of a run carries its own edits; a save of several takes never
    // writes the take name.
    void saveJobsCarryTheirOwnEdits()
    {
        QVERIFY(!TestUtil::writeTake(path("T1.WAV"), TestTake()).isEmpty());
        QVERIFY(!TestUtil::writeTake(path("T2.WAV"), TestTake()).isEmpty());
        TakeEdits a, b;
        a.samplesSinceMidnight = "1000";
        b.samplesSinceMidnight = "2000";
        a.take = b.take = "9";
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        QVERIFY(saver.start({{path("T1.WAV"), a}, {path("T2.WAV"), b}}, true));
        QVERIFY(finished.wait(10000));
        AudioFile f1, f2;
        QVERIFY(f1.Open(path("T1.WAV")) && f2.Open(path("T2.WAV")));
        QCOMPARE(f1.GetSamplesSinceMidnight(), QStringLiteral("1000"));
        QCOMPARE(f2.GetSamplesSinceMidnight(), QStringLiteral("2000"));
        QCOMPARE(f1.GetTakeName(), QStringLiteral("03"));
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
        TestTake shape;
        shape.channels = 1;
        shape.firstChannel = 3;
        const QString take = path("T1_3.WAV");
        QVERIFY(!TestUtil::writeTake(take, shape).isEmpty());
        TakeEdits e;
        e.tracks = {{channel, "Lav C", {}}};
        TakeSaver().run({take}, e);
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetTracksInfo().at(0).at(2), name);
    }

    // --rebuild-ixml reaches the writer only for a document that did not
    // parse: one that parsed keeps what this program does not know.
    void rebuildIxmlReachesOnlyAnUnparsableDocument_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("rebuilt");
        QTest::newRow("broken, asked") << true << true << true;
        QTest::newRow("broken, not asked") << true << false << false;
        QTest::newRow("parses, asked") << false << true << false;
    }

    void rebuildIxmlReachesOnlyAnUnparsableDocument()
    {
        QFETCH(bool, broken);
        QFETCH(bool, asked);
        QFETCH(bool, rebuilt);
        TestTake shape;
        shape.metadata = false;
        shape.ixml = broken ? "<BWFXML><SCENE>1&A</SCENE></BWFXML>" : "<BWFXML/>";
        QVERIFY(!TestUtil::writeTake(path("T1.WAV"), shape).isEmpty());
        AudioFile f;
        QVERIFY(f.Open(path("T1.WAV")));
        QCOMPARE(f.m_info.ixmlError.isEmpty(), !broken);
        TakeEdits e;
        e.rebuildIxml = asked;
        QCOMPARE(e.isEmpty(), !asked);
        e.applyTo(f, false);
        QCOMPARE(f.m_rebuildIxml, rebuilt);
    }

    // One take rewritten (its note outgrows the iXML chunk), one bare take
    // updated in place (chunks appended). Another take's stale backup stays;
    // the backup of the rewritten take goes.
    void onlyItsOwnBackupsAreRemoved()
    {
        const QString rich = path("T1.WAV"), bare = path("T2.WAV");
        const QByteArray richAudio = TestUtil::writeTake(rich, TestTake());
        TestTake b;
        b.metadata = false;
        const QByteArray bareAudio = TestUtil::writeTake(bare, b);
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
        QCOMPARE(TestUtil::audioOf(rich), richAudio);
        QCOMPARE(TestUtil::audioOf(bare), bareAudio);
        QCOMPARE(TestUtil::filesContaining(m_tmp.path(), "_updatebackup"),
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
        QVERIFY(!TestUtil::writeTake(take, TestTake()).isEmpty());
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
    // whose last save did not finish, or that is no file to write, or that
    // must not be written (damaged size fields, an iXML that did not parse)
    // is refused with what a caller needs to answer it, and left as it is.
    void refusedTakesAreLeftAsTheyAre_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("error"); // the reason starts with it
        const QString busy = QStringLiteral("T1.WAV is being saved by another process");
        QTest::newRow("another saver has it") << "locked" << busy;
        QTest::newRow("another saver moved it to its backup name") << "backup locked" << busy;
        QTest::newRow("an earlier save did not finish")
            << "backup"
            << "T1_updatebackup.WAV exists: an earlier save did not finish; check it "
               "and remove or restore it";
        QTest::newRow("a FIFO") << "fifo"
                                << "not a regular file";
        QTest::newRow("data past the end") << "damaged" << path("T1.WAV is damaged: ");
        QTest::newRow("damaged with a bad iXML") << "damaged bad" << path("T1.WAV is damaged: ");
        QTest::newRow("iXML does not parse") << "bad"
                                             << "";
    }

    void refusedTakesAreLeftAsTheyAre()
    {
        QFETCH(QString, situation);
        QFETCH(QString, error);
        const QString take = path("T1.WAV"), backup = path("T1_updatebackup.WAV");
        TakeLock other;
        if (situation == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(take).constData(), 0644), 0);
        } else {
            TestTake shape;
            shape.metadata = false;
            shape.ixml = situation.contains("bad")
                             ? "<BWFXML><NOTE>fish & chips</NOTE><SCENE>5</SCENE></BWFXML>"
                             : "<BWFXML><SCENE>5</SCENE></BWFXML>";
            QVERIFY(!TestUtil::writeTake(take, shape).isEmpty());
            if (situation.startsWith("damaged")) // the data chunk still claims the full size
                QVERIFY(QFile::resize(take, QFileInfo(take).size() - 1000));
            if (situation.startsWith("backup"))
                QVERIFY(TestUtil::writeFile(backup, "the take, moved by a saver"));
            if (situation == "locked")
                QVERIFY(other.acquire(take));
            if (situation == "backup locked")
                QVERIFY(other.acquire(backup));
        }
        const QMap<QString, QByteArray> before =
            situation == "fifo" ? QMap<QString, QByteArray>() : TestUtil::snapshot(m_tmp.path());
        TakeEdits e;
        e.scene = "9";
        e.notes = QString(10000, QLatin1Char('x'));
        const auto results = TakeSaver().run({take}, e);
        QCOMPARE(results.size(), 1);
        const TakeBatch::ItemResult& r = results.at(0);
        QCOMPARE(r.outcome, TakeBatch::Outcome::Failed);
        QVERIFY2(r.reason.startsWith(error), qPrintable(r.reason));
        QCOMPARE(r.damaged, situation.startsWith("damaged"));
        QCOMPARE(!r.ixmlError.isEmpty(), situation == "bad");
        if (situation == "bad")
            QVERIFY(r.reason.contains(r.ixmlError));
        if (situation != "fifo")
            QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
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
        TestTake big;
        big.channels = 8;
        big.frames = 200000;
        const QString take = path("T1.WAV");
        const QByteArray audio = TestUtil::writeTake(take, big);
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
        if (r0.outcome == TakeBatch::Outcome::Cancelled) {
            QCOMPARE(TestUtil::readFile(take), before);
        } else {
            QCOMPARE(r0.outcome, TakeBatch::Outcome::Done);
            QVERIFY(!r0.inPlace);
        }
        QCOMPARE(TestUtil::audioOf(take), audio);
        QVERIFY(TestUtil::filesContaining(m_tmp.path(), "_updatebackup").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTakeSaver)
#include "tst_takesaver.moc"

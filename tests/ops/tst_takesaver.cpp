#include "TakeCopier.h"
#include "TakeLock.h"
#include "TakeSaver.h"
#include "TestUtil.h"

#include <QDir>
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

    // Every field reaches the file; each job of a run carries its own edits;
    // a save of several takes never writes the take name. A track edit
    // reaches the file's track with that channel index, in a mono file too.
    void saveJobsCarryTheirOwnEdits()
    {
        TestTake shape;
        shape.channels = 3;
        const QString poly = path("T1.WAV"), mono = path("T2_3.WAV");
        const QByteArray audio = TestUtil::writeTake(poly, shape);
        shape.channels = 1;
        shape.firstChannel = 3;
        QVERIFY(!TestUtil::writeTake(mono, shape).isEmpty());
        TakeEdits e, m;
        e.frameRate = "29.97 DF";
        e.sampleRate = "96000";
        e.samplesSinceMidnight = "123456789";
        e.project = "Film";
        e.scene = "44B";
        e.tape = "DAY02";
        e.take = m.take = "7";
        e.ubits = "11223344";
        e.notes = "plane";
        e.user = "mixer";
        e.circled = "Y";
        e.wild = "Y";
        e.tracks = m.tracks = {{2, "Lav A", QString("LAV")}, {3, "Plant", {}}, {9, "none", {}}};
        m.samplesSinceMidnight = "2000";
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        QVERIFY(saver.start({{poly, e}, {mono, m}}, true));
        QVERIFY(finished.wait(10000));
        QCOMPARE(saver.results().at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(saver.results().at(0).inPlace);
        AudioFile f, g;
        QVERIFY(f.Open(poly) && g.Open(mono));
        QCOMPARE(f.GetSampleRate(), 96000u);
        QCOMPARE(
            (QStringList{f.GetFrameRate(), f.GetTimeStampSampleRate(), f.GetSamplesSinceMidnight(),
                         f.GetProjectName(), f.GetSceneName(), f.GetTapeName(), f.GetTakeName(),
                         f.GetUBITs(), f.GetNotes(), f.GetUserInfo(), f.GetCircled(), f.GetWild()}),
            (QStringList{"29.97 DF", "96000", "123456789", "Film", "44B", "DAY02", "03", "11223344",
                         "plane", "mixer", "Y", "Y"}));
        QCOMPARE(f.GetTracksInfo(), (QList<QStringList>{{"1", "1", "Trk1", "BOOM"},
                                                        {"2", "2", "Lav A", "LAV"},
                                                        {"3", "3", "Plant", ""}}));
        QCOMPARE(TestUtil::audioOf(poly), audio);
        QCOMPARE(g.GetSamplesSinceMidnight(), QStringLiteral("2000"));
        QCOMPARE(g.GetTracksInfo().at(0).at(2), QStringLiteral("Plant"));
    }

    // --rebuild-ixml reaches the writer only for a document that did not
    // parse: one that parsed keeps what this program does not know.
    void rebuildIxmlReachesOnlyAnUnparsableDocument_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::addColumn<bool>("asked");
        QTest::newRow("broken, asked") << true << true;
        QTest::newRow("broken, not asked") << true << false;
        QTest::newRow("parses, asked") << false << true;
    }

    void rebuildIxmlReachesOnlyAnUnparsableDocument()
    {
        QFETCH(bool, broken);
        QFETCH(bool, asked);
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
        QCOMPARE(f.m_rebuildIxml, broken && asked);
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
        const auto results = TakeSaver().run({rich, bare}, e);
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Done);
        QVERIFY(!results.at(0).inPlace);
        QCOMPARE(results.at(1).outcome, TakeBatch::Outcome::Done);
        QVERIFY(results.at(1).inPlace);
        QCOMPARE(TestUtil::audioOf(rich), richAudio);
        QCOMPARE(TestUtil::audioOf(bare), bareAudio);
        QCOMPARE(QDir(m_tmp.path()).entryList({"*_updatebackup*"}, QDir::Files),
                 QStringList{"T9_updatebackup.WAV"});
        QCOMPARE(TestUtil::readFile(path("T9_updatebackup.WAV")), QByteArray("stale of T9"));
    }

    void aFailureEndsTheRunWhenAsked_data()
    {
        QTest::addColumn<bool>("stopOnError");
        QTest::newRow("editor save") << true;
        QTest::newRow("every path") << false;
    }

    void aFailureEndsTheRunWhenAsked()
    {
        QFETCH(bool, stopOnError);
        const QString take = path("T1.WAV");
        QVERIFY(!TestUtil::writeTake(take, TestTake()).isEmpty());
        TakeEdits e;
        e.scene = "9";
        TakeSaver saver;
        QSignalSpy finished(&saver, &TakeBatch::finished);
        const auto results = saver.run({path("missing.WAV"), take}, e, false, stopOnError);
        QCOMPARE(results.size(), stopOnError ? 1 : 2);
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
        const QString busy = "T1.WAV is being saved by another process";
        const QString damaged = path("T1.WAV is damaged: ");
        const QString rows[][3] = {
            {"another saver has it", "locked", busy},
            {"another saver moved it to its backup name", "backup locked", busy},
            {"an earlier save did not finish", "backup",
             "T1_updatebackup.WAV exists: an earlier save did not finish"},
            {"a FIFO", "fifo", "not a regular file"},
            {"data past the end", "damaged", damaged},
            {"damaged with a bad iXML", "damaged bad", damaged},
            {"iXML does not parse", "bad", ""},
        };
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[1] << r[2];
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
            if (situation.endsWith("locked"))
                QVERIFY(other.acquire(situation == "locked" ? take : backup));
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
        QVERIFY(situation != "bad" || r.reason.contains(r.ixmlError));
        if (situation != "fifo")
            QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
        // A copy reads what a save may be patching: it is refused alike.
        if (situation.startsWith("backup") || situation == "locked") {
            QVERIFY(QDir().mkpath(path("out")));
            TakeCopier copier;
            copier.setDestination(path("out"));
            const TakeBatch::ItemResult c = copier.run({take}).value(0);
            QCOMPARE(c.outcome, TakeBatch::Outcome::Refused);
            QVERIFY2(c.reason.startsWith(error), qPrintable(c.reason));
            QVERIFY(!QFileInfo::exists(path("out/T1.WAV")));
        }
    }

    // Aborted while rewriting: the take is whole, new or as it was, the run
    // stops, and no backup is left behind.
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
        QCOMPARE(saver.results().size(), 1);
        const TakeBatch::ItemResult& r0 = saver.results().at(0);
        if (r0.outcome == TakeBatch::Outcome::Cancelled)
            QCOMPARE(TestUtil::readFile(take), before);
        else
            QVERIFY(r0.outcome == TakeBatch::Outcome::Done && !r0.inPlace);
        QCOMPARE(TestUtil::audioOf(take), audio);
        QVERIFY(QDir(m_tmp.path()).entryList({"*_updatebackup*"}, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTakeSaver)
#include "tst_takesaver.moc"

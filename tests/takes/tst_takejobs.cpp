#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeFileMaker.h"
#include "TakeJobs.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TakeColumns;

// The save, rename and copy jobs of a take list without any widget: what
// reaches the files, the questions asked, the message at the end, and the
// memory of files a failed save wrote.
class TestTakeJobs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_dir;

    QString path(const QString& name) const { return QDir(m_dir).filePath(name); }
    // The audio bytes of a take file, as its header places them.
    static QByteArray audioOf(const QString& file)
    {
        AudioFile f;
        if (!f.Open(file))
            return QByteArray();
        QFile raw(file);
        if (!raw.open(QIODevice::ReadOnly) || !raw.seek(qint64(f.m_fileDataPos)))
            return QByteArray();
        return raw.read(qint64(f.m_info.dataSize));
    }
    // Runs start (which starts a job of jobs) to its end.
    static bool finish(TakeJobs& jobs, const std::function<bool()>& start, TakeJobs::Result* r)
    {
        bool ended = false;
        const auto c = connect(&jobs, &TakeJobs::finished, &jobs, [&](const TakeJobs::Result& x) {
            *r = x;
            ended = true;
        });
        const bool started = start();
        QDeadlineTimer deadline(30000);
        while (started && !ended && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        disconnect(c);
        return started && ended;
    }
    static bool importAndWait(TakeSession& session, const QStringList& paths)
    {
        QSignalSpy done(&session, &TakeSession::importFinished);
        session.importPaths(paths, TakeImporter::Origin::Drop);
        return done.wait(60000);
    }

private slots:
    void init()
    {
        m_dir = m_tmp.filePath("takes");
        QDir(m_dir).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir));
    }

    // A save that writes, one refused as damaged, and one whose iXML does not
    // parse, answered Rebuild or Cancel. A refused file keeps every byte.
    void saveOutcomes_data()
    {
        QTest::addColumn<QString>("note"); // written raw into the iXML
        QTest::addColumn<int>("chop");
        QTest::addColumn<bool>("rebuild"); // the answer to the question
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message"); // how the message ends; "-": none
        QTest::newRow("written") << "" << 0 << false << false << true << "-";
        QTest::newRow("damaged") << "" << 100 << false << false << false
                                 << ". Run velmora-cli repair on it first.";
        QTest::newRow("iXML rebuilt") << "fish & chips" << 0 << true << true << true << "-";
        QTest::newRow("iXML kept") << "fish & chips" << 0 << false << true << false << "-";
    }

    void saveOutcomes()
    {
        QFETCH(QString, note);
        QFETCH(int, chop);
        QFETCH(bool, rebuild);
        QFETCH(bool, asked);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        TakeShape shape;
        shape.channels = 2;
        shape.note = note;
        shape.chop = chop;
        const QString take = path("T1.WAV");
        QVERIFY(TakeFileMaker::write(take, shape));
        const QByteArray before = TestUtil::readFile(take);
        const QByteArray audio = audioOf(take);
        AudioFileModel model;
        TakeJobs jobs(&model);
        QStringList questions;
        TakeJobs::Questions q;
        q.rebuildIxml = [&](const QString& file, const QString& why) {
            questions << file + " | " + why;
            return rebuild;
        };
        jobs.setQuestions(q);
        TakeEdits e;
        e.scene = "9";
        TakeJobs::Result r;
        QVERIFY(finish(
            jobs,
            [&] {
                return jobs.startSave({{take, e}}, false);
            },
            &r));
        QCOMPARE(r.kind, TakeJobs::Kind::Save);
        QCOMPARE(r.ok, ok);
        QCOMPARE(questions.size(), asked ? 1 : 0);
        if (asked)
            QVERIFY2(questions.first().startsWith("T1.WAV | ") && questions.first().size() > 10,
                     qPrintable(questions.first()));
        if (message == "-")
            QVERIFY2(r.message.isEmpty(), qPrintable(r.message));
        else
            QVERIFY2(r.message.startsWith(take) && r.message.endsWith(message),
                     qPrintable(r.message));
        QVERIFY(!jobs.isRunning());
        if (!ok) {
            QCOMPARE(TestUtil::readFile(take), before);
            QVERIFY(jobs.writtenFiles().isEmpty());
            return;
        }
        AudioFile f;
        QVERIFY(f.Open(take));
        QCOMPARE(f.GetSceneName(), QStringLiteral("9"));
        QVERIFY(f.m_info.ixmlError.isEmpty());
        QCOMPARE(audioOf(take), audio);
        QCOMPARE(jobs.writtenFiles().value(take).rebuildIxml, rebuild);
    }

    // A failed save remembers the files it wrote with their edits: the next
    // save with the same edits writes only the rest, other edits write all.
    void aSaveAfterAFailureWritesWhatIsPending_data()
    {
        QTest::addColumn<QString>("retried"); // the project of the second save
        QTest::addColumn<int>("files");       // files the second save writes
        QTest::newRow("same edits") << "Retry" << 2;
        QTest::newRow("edited again") << "Other" << 3;
    }

    void aSaveAfterAFailureWritesWhatIsPending()
    {
        QFETCH(QString, retried);
        QFETCH(int, files);
        const QStringList take = TakeFileMaker::writeMonoTake(m_dir, "T1", 3);
        QList<QByteArray> audio;
        for (const QString& f : take)
            audio << audioOf(f);
        const QFile::Permissions perms = QFileInfo(take.at(1)).permissions();
        QVERIFY(QFile::setPermissions(take.at(1), QFile::ReadOwner | QFile::ReadGroup));
        TakeSession session;
        TakeJobs& jobs = *session.jobs();
        QSignalSpy started(&jobs, &TakeJobs::started);
        const auto save = [&](const QString& project) {
            TakeEdits e;
            e.project = project;
            QVector<TakeSaver::Job> list;
            for (const QString& f : take)
                list.append({f, e});
            TakeJobs::Result r;
            return finish(
                       jobs, [&] { return jobs.startSave(list, false); }, &r) &&
                   r.ok;
        };
        QVERIFY(!save("Retry"));
        QCOMPARE(jobs.writtenFiles().keys(), QStringList{take.at(0)});
        QVERIFY(QFile::setPermissions(take.at(1), perms));
        QVERIFY(save(retried));
        QCOMPARE(started.last().at(1).toInt(), files);
        for (int i = 0; i < take.size(); ++i) {
            AudioFile f;
            QVERIFY(f.Open(take.at(i)));
            QCOMPARE(f.GetProjectName(), i == 0 && files == 2 ? QStringLiteral("Retry") : retried);
            QCOMPARE(audioOf(take.at(i)), audio.at(i));
        }
        // Saved, the edits are no longer pending anywhere.
        QVERIFY(jobs.writtenFiles().isEmpty());
    }

    // A rename writes the new names into the take's row; a mono take keeps
    // the channel suffixes of its files.
    void aRenamedTakeShowsItsNewName()
    {
        TakeShape shape;
        shape.scene = "7B";
        shape.take = "4";
        const QStringList take = TakeFileMaker::writeMonoTake(m_dir, "T0002", 2, shape);
        QList<QByteArray> audio;
        for (const QString& f : take)
            audio << audioOf(f);
        TakeSession session;
        QVERIFY(importAndWait(session, {m_dir}));
        const AudioFileModel& model = *session.model();
        QCOMPARE(model.rowCount(), 1);
        TakeJobs::Result r;
        QVERIFY(finish(
            *session.jobs(), [&] { return session.jobs()->startRename(take); }, &r));
        QVERIFY(r.ok);
        QVERIFY(r.notes.isEmpty());
        const QString base = "7BT04";
        for (int c = 1; c <= 2; ++c)
            QCOMPARE(audioOf(path(QStringLiteral("%1_%2.WAV").arg(base).arg(c))), audio.at(c - 1));
        QCOMPARE(QDir(m_dir).entryList(QDir::Files).size(), 2);
        QCOMPARE(model.data(model.index(0, FileName)).toString(), base + "_X.WAV");
        QCOMPARE(model.data(model.index(0, CurrentName)).toString(), base + "_X.WAV");
        QCOMPARE(model.data(model.index(0, Path)).toString(), path(base + "_1.WAV"));
    }

    // A rename that would replace another file skips its take and says so;
    // the counts are of takes (a mono take's files are one take).
    void aRenameOntoAnExistingNameIsSkippedAndSaid()
    {
        TakeShape shape;
        shape.scene = "7B";
        shape.take = "4";
        QVERIFY(TakeFileMaker::write(path("T1.WAV"), shape));
        QVERIFY(TestUtil::writeFile(path("7BT04.WAV"), "another take"));
        shape.scene = "8";
        const QStringList mono = TakeFileMaker::writeMonoTake(m_dir, "T0002", 2, shape);
        const QByteArray audio = audioOf(mono.at(0));
        TakeSession session;
        QVERIFY(importAndWait(session, {path("T1.WAV"), mono.at(0), mono.at(1)}));
        QSignalSpy line(&session, &TakeSession::statusLine);
        TakeJobs::Result r;
        QVERIFY(finish(
            *session.jobs(),
            [&] {
                return session.renameTakes({0, 1});
            },
            &r));
        QCOMPARE(TestUtil::readFile(path("7BT04.WAV")), QByteArray("another take"));
        QCOMPARE(audioOf(path("8T04_1.WAV")), audio);
        QCOMPARE(line.last().at(0).toString(), "1 take renamed, 1 skipped: 7BT04.WAV exists");
        QVERIFY2(r.notes.startsWith("Some files were not renamed:\nT1.WAV: not renamed, "),
                 qPrintable(r.notes));
    }

    void summary_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("counts"); // takes, done, unchanged, skipped
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QString>("line");
        using K = TakeJobs::Kind;
        QTest::newRow("saved") << int(K::Save) << QList<int>{3, 3, 0, 0} << false
                               << "3 takes saved";
        QTest::newRow("one copied")
            << int(K::Copy) << QList<int>{1, 1, 0, 0} << false << "1 take copied";
        QTest::newRow("renamed, named, skipped")
            << int(K::Rename) << QList<int>{4, 2, 1, 1} << false
            << "2 takes renamed, 1 already named, 1 skipped: 12AT01.WAV exists";
        QTest::newRow("cancelled")
            << int(K::Save) << QList<int>{3, 1, 0, 0} << true << "1 take saved, 2 cancelled";
        QTest::newRow("failed") << int(K::Delete) << QList<int>{2, 0, 0, 0} << false
                                << "0 takes deleted, 2 failed";
    }

    void summary()
    {
        QFETCH(int, kind);
        QFETCH(QList<int>, counts);
        QFETCH(bool, cancelled);
        QFETCH(QString, line);
        TakeJobs::Result r;
        r.kind = TakeJobs::Kind(kind);
        r.takes = counts.at(0);
        r.done = counts.at(1);
        r.unchanged = counts.at(2);
        r.skipped = counts.at(3);
        r.skips = QStringList(r.skipped, "12AT01.WAV exists");
        r.cancelled = cancelled;
        QCOMPARE(TakeJobs::summary(r), line);
    }

    // A copy keeps a file already at the destination and lists it.
    void aCopyKeepsFilesThatAreThere()
    {
        const QStringList take = TakeFileMaker::writeMonoTake(m_dir, "T1", 2);
        const QString out = m_tmp.filePath("out");
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        QVERIFY(TestUtil::writeFile(out + "/T1_2.WAV", "another day"));
        AudioFileModel model;
        TakeJobs jobs(&model);
        TakeJobs::Result r;
        QVERIFY(finish(
            jobs, [&] { return jobs.startCopy(take, out); }, &r));
        QVERIFY(r.ok);
        QCOMPARE(r.kind, TakeJobs::Kind::Copy);
        QCOMPARE(audioOf(out + "/T1_1.WAV"), audioOf(take.at(0)));
        QCOMPARE(TestUtil::readFile(out + "/T1_2.WAV"), QByteArray("another day"));
        QVERIFY2(r.notes.startsWith("Some files were not copied:\nT1_2.WAV: not copied, "),
                 qPrintable(r.notes));
    }
};

QTEST_GUILESS_MAIN(TestTakeJobs)
#include "tst_takejobs.moc"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeCommands.h"
#include "TakeEditState.h"
#include "TakeFileMaker.h"
#include "TakeJobs.h"
#include "TakeSaver.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TakeColumns;

// The take list of a window without any widget: imports, clears, deletes,
// the commands, the edits of the current take (rate and timecode changes of
// the row, what a save writes), and the save, rename and copy jobs (what
// reaches the files, the questions, the result).
class TestTakeSession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_work; // a folder of its own for each test
    // Over two demo takes of their own in m_work/edit, the first current.
    std::unique_ptr<TakeSession> m_session;

    QString path(const QString& name) const { return QDir(m_work).filePath(name); }
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

    // Imports paths and waits for the import to end.
    static bool importAndWait(TakeSession& session, const QStringList& paths)
    {
        QSignalSpy done(&session, &TakeSession::importFinished);
        session.importPaths(paths, TakeImporter::Origin::Drop);
        return done.wait(60000);
    }
    // The take numbers listed, "1" for T0001.WAV.
    static QStringList takes(const AudioFileModel& model)
    {
        QStringList n;
        for (int r = 0; r < model.rowCount(); ++r)
            n << QString::number(model.data(model.index(r, FileName)).toString().mid(1, 4).toInt());
        return n;
    }
    TakeEditState& state() { return m_session->editState(); }
    QString cell(int column) const { return m_session->editState().cell(0, column); }
    QStringList row() const
    {
        QStringList cells;
        for (int c = 0; c < Count; ++c)
            cells << cell(c);
        return cells;
    }

private slots:

    void init()
    {
        m_work = QDir(m_dir.path()).filePath("work");
        QDir(m_work).removeRecursively();
        const QString edit = path("edit");
        QVERIFY(QDir().mkpath(edit));
        QCOMPARE(TakeFileMaker::writeDemoTakes(edit, 2).size(), 5);
        m_session = std::make_unique<TakeSession>();
        QVERIFY(importAndWait(*m_session, {edit}));
        m_session->setCurrentTake(m_session->model()->index(0, 0), {});
    }
    void cleanup() { m_session.reset(); }

    // A save refused as damaged, and one whose iXML does not parse,
    // answered Rebuild or Cancel. A refused file keeps every byte.
    void saveOutcomes_data()
    {
        QTest::addColumn<QString>("note"); // written raw into the iXML
        QTest::addColumn<int>("chop");
        QTest::addColumn<bool>("rebuild"); // the answer to the question
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message"); // how the message ends; "-": none
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
        const QByteArray audio = TestUtil::audioOf(take);
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
        const auto save = [&] { return jobs.startSave({{take, e}}, false); };
        QVERIFY(finish(jobs, save, &r));
        QCOMPARE(r.kind, TakeJobs::Kind::Save);
        QCOMPARE(r.ok, ok);
        QCOMPARE(questions.size(), asked ? 1 : 0);
        QVERIFY(!asked ||
                (questions.first().startsWith("T1.WAV | ") && questions.first().size() > 10));
        QVERIFY2(message == "-" ? r.message.isEmpty()
                                : r.message.startsWith(take) && r.message.endsWith(message),
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
        QCOMPARE(TestUtil::audioOf(take), audio);
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
        const QStringList take = TakeFileMaker::writeMonoTake(m_work, "T1", 3);
        QList<QByteArray> audio;
        for (const QString& f : take)
            audio << TestUtil::audioOf(f);
        const QFile::Permissions perms = QFileInfo(take.at(1)).permissions();
        QVERIFY(QFile::setPermissions(take.at(1), QFile::ReadOwner | QFile::ReadGroup));
        TakeJobs& jobs = *m_session->jobs();
        QSignalSpy started(&jobs, &TakeJobs::started);
        const auto save = [&](const QString& project) {
            TakeEdits e;
            e.project = project;
            QVector<TakeSaver::Job> list;
            for (const QString& f : take)
                list.append({f, e});
            TakeJobs::Result r;
            const auto start = [&] { return jobs.startSave(list, false); };
            return finish(jobs, start, &r) && r.ok;
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
            QCOMPARE(TestUtil::audioOf(take.at(i)), audio.at(i));
        }
        // Saved, the edits are no longer pending anywhere.
        QVERIFY(jobs.writtenFiles().isEmpty());
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
        const QStringList mono = TakeFileMaker::writeMonoTake(m_work, "T0002", 2, shape);
        const QByteArray audio = TestUtil::audioOf(mono.at(0));
        TakeSession session;
        QVERIFY(importAndWait(session, {path("T1.WAV"), mono.at(0), mono.at(1)}));
        QSignalSpy line(&session, &TakeSession::statusLine);
        TakeJobs::Result r;
        const auto rename = [&] { return session.renameTakes({0, 1}); };
        QVERIFY(finish(*session.jobs(), rename, &r));
        QCOMPARE(TestUtil::readFile(path("7BT04.WAV")), QByteArray("another take"));
        QCOMPARE(TestUtil::audioOf(path("8T04_1.WAV")), audio);
        QCOMPARE(QDir(m_work).entryList(QDir::Files).size(), 4);
        // The renamed take's row shows its new names, a mono take's with "_X".
        const AudioFileModel& model = *session.model();
        const int row = model.data(model.index(0, Path)).toString() == path("8T04_1.WAV") ? 0 : 1;
        QCOMPARE(model.data(model.index(row, FileName)).toString(), "8T04_X.WAV");
        QCOMPARE(model.data(model.index(row, CurrentName)).toString(), "8T04_X.WAV");
        QCOMPARE(line.last().at(0).toString(), "1 take renamed, 1 skipped: 7BT04.WAV exists");
        QVERIFY2(r.notes.startsWith("Some files were not renamed:\nT1.WAV: not renamed, "),
                 qPrintable(r.notes));
    }

    // A copy keeps a file already at the destination and lists it.
    void aCopyKeepsFilesThatAreThere()
    {
        const QStringList take = TakeFileMaker::writeMonoTake(m_work, "T1", 2);
        const QString out = QDir(m_work).filePath("out");
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        QVERIFY(TestUtil::writeFile(out + "/T1_2.WAV", "another day"));
        TakeJobs& jobs = *m_session->jobs();
        TakeJobs::Result r;
        QVERIFY(finish(
            jobs, [&] { return jobs.startCopy(take, out); }, &r));
        QVERIFY(r.ok);
        QCOMPARE(r.kind, TakeJobs::Kind::Copy);
        QCOMPARE(TestUtil::audioOf(out + "/T1_1.WAV"), TestUtil::audioOf(take.at(0)));
        QCOMPARE(TestUtil::readFile(out + "/T1_2.WAV"), QByteArray("another day"));
        QVERIFY2(r.notes.startsWith("Some files were not copied:\nT1_2.WAV: not copied, "),
                 qPrintable(r.notes));
    }

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // T0001, T0003, T0005 polyphonic; T0002, T0004 mono groups of two.
        QCOMPARE(TakeFileMaker::writeDemoTakes(m_dir.path(), 5, 2).size(), 7);
    }

    void removeTakes_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("apart, unsorted") << QList<int>{4, 1} << QStringList{"1", "3", "4"};
        QTest::newRow("adjacent and apart") << QList<int>{0, 1, 3} << QStringList{"3", "5"};
        QTest::newRow("twice and out of range")
            << QList<int>{2, 2, 9, -1} << QStringList{"1", "2", "4", "5"};
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4} << QStringList();
    }

    void removeTakes()
    {
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, left);
        TakeSession session;
        QVERIFY(importAndWait(session, {m_dir.path()}));
        session.removeTakes(rows);
        QCOMPARE(takes(*session.model()), left);
    }

    // Imports asked for while one runs run after it; at its end the session
    // removes every row, one take at a time, before its model goes.
    void queuedImportsAndTheEnd()
    {
        auto session = std::make_unique<TakeSession>();
        QSignalSpy done(session.get(), &TakeSession::importFinished);
        const QDir dir(m_dir.path());
        const auto drop = [&](const QStringList& paths) {
            session->importPaths(paths, TakeImporter::Origin::Drop);
        };
        // The third brings a take the first already listed.
        drop({dir.filePath("T0001.WAV")});
        drop({dir.filePath("T0002_2.WAV"), dir.filePath("none.WAV")});
        drop({dir.filePath("T0001.WAV")});
        QVERIFY(session->isImporting());
        while (done.count() < 3)
            QVERIFY(done.wait(60000));
        QVERIFY(!session->isImporting());
        QCOMPARE(done.at(0), QVariantList({1, 0}));
        QCOMPARE(done.at(1), QVariantList({1, 1}));
        QCOMPARE(done.at(2), QVariantList({0, 0}));
        QCOMPARE(takes(*session->model()), QStringList({"1", "2"}));
        QPointer<AudioFileModel> model = session->model();
        QSignalSpy removed(model.data(), &QAbstractItemModel::rowsRemoved);
        session.reset();
        QVERIFY(model.isNull());
        QCOMPARE(removed.count(), 2);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 7);
    }

    // Deleting takes deletes every file of each take and unlists it; a take
    // that is playing keeps its files and stays listed, saying why.
    void deleteTakes()
    {
        const QString playing = "T0001.WAV: it is playing; nothing was deleted.";
        QSignalSpy status(m_session.get(), &TakeSession::statusLine);
        m_session->playStarted(m_session->model()->index(0, 0));
        QCOMPARE(m_session->deleteTakes({0, 1}, m_session->playingRow()).notes, playing);
        QCOMPARE(status.last().at(0).toString(), "1 take deleted, 1 skipped: " + playing);
        QCOMPARE(takes(*m_session->model()), QStringList{"1"});
        QCOMPARE(QDir(path("edit")).entryList(QDir::Files), QStringList{"T0001.WAV"});
    }

    void commands_data()
    {
        using C = TakeCommands::Control;
        QTest::addColumn<C>("control");
        QTest::addColumn<bool>("available"); // the command, declared
        QTest::addColumn<QString>("state");  // "listed", "plays", "stopped" or wanted/not
        QTest::addColumn<bool>("enabled");
        QTest::newRow("save withdrawn") << C::Save << false << "wanted" << false;
        QTest::newRow("rename not wanted") << C::Rename << true << "not" << false;
        QTest::newRow("stop without playback") << C::Stop << false << "wanted" << false;
        QTest::newRow("split/combine provided") << C::SplitCombine << true << "wanted" << true;
        QTest::newRow("clear, empty list") << C::Clear << true << "" << false;
        QTest::newRow("clear, take plays") << C::Clear << true << "plays" << false;
        QTest::newRow("rename, take plays") << C::Rename << true << "plays" << false;
        QTest::newRow("copy, take plays") << C::CopyTo << true << "plays" << true;
        QTest::newRow("delete, stopped") << C::Delete << true << "stopped" << true;
    }

    // A control is on when it is wanted and its command is available (every
    // change says so); listing takes wants the whole-take controls, and a
    // playing take locks those that would take its file away.
    void commands()
    {
        QFETCH(TakeCommands::Control, control);
        QFETCH(bool, available);
        QFETCH(QString, state);
        QFETCH(bool, enabled);
        TakeSession session;
        TakeCommands& commands = *session.commands();
        QSignalSpy changed(&commands, &TakeCommands::enabledChanged);
        commands.setAvailable(TakeCommands::commandOf(control), available);
        commands.setTakesListed(state != "");
        if (state == "wanted" || state == "not")
            commands.setWanted(control, state == "wanted");
        if (state == "plays")
            session.playStarted(QModelIndex());
        if (state == "stopped")
            session.playStopped();
        QCOMPARE(commands.isEnabled(control), enabled);
        bool said = !enabled; // what the last change of this control said
        for (const QList<QVariant>& c : std::as_const(changed))
            said = c.at(0).value<TakeCommands::Control>() == control ? c.at(1).toBool() : said;
        QCOMPARE(said, enabled);
    }

    void renameAndCopyRefusals_data()
    {
        QTest::addColumn<bool>("copy"); // or rename
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("intoSource");
        QTest::addColumn<QString>("warning");
        QTest::newRow("rename, nothing selected")
            << false << QList<int>{} << false << "Please select takes to be renamed.";
        QTest::newRow("copy, nothing selected")
            << true << QList<int>{} << false << "Please select takes to copy.";
        QTest::newRow("copy into the takes' own folder")
            << true << QList<int>{0, 1} << true
            << "Source and Destination are the same.\n Please select a different Destination.";
    }

    // Rename and copy refuse before touching a file when no take is chosen or a
    // take would be copied onto itself.
    void renameAndCopyRefusals()
    {
        QFETCH(bool, copy);
        QFETCH(QList<int>, rows);
        QFETCH(bool, intoSource);
        QFETCH(QString, warning);
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_work);
        QStringList warned;
        TakeJobs::Questions questions;
        questions.warn = [&warned](const QString& text) { warned << text; };
        m_session->jobs()->setQuestions(questions);
        const QString folder = intoSource ? path("edit") : m_work;
        QVERIFY(!(copy ? m_session->copyTakes(rows, folder) : m_session->renameTakes(rows)));
        QCOMPARE(warned, QStringList{warning});
        QCOMPARE(TestUtil::snapshot(m_work), before);
    }

    void settleEdits_data()
    {
        using A = TakeJobs::Answer;
        QTest::addColumn<int>("answer"); // -1: no one answers
        QTest::addColumn<QList<int>>("dropped");
        QTest::addColumn<bool>("goOnNow");
        QTest::addColumn<QString>("project"); // the current take's afterwards; "": its file's
        QTest::newRow("another take goes") << int(A::Cancel) << QList<int>{0} << true << "Edited";
        QTest::newRow("cancel") << int(A::Cancel) << QList<int>{0, 1} << false << "Edited";
        QTest::newRow("unanswered") << -1 << QList<int>{1} << false << "Edited";
        QTest::newRow("discard") << int(A::Discard) << QList<int>{1} << true << "";
        QTest::newRow("save, then go on") << int(A::Save) << QList<int>{1} << false << "Edited";
        QTest::newRow("save at quit") << int(A::Save) << QList<int>{} << false << "Edited";
    }

    // Before the current take with unsaved edits leaves the list (or the window
    // closes, all rows), the user saves them, discards them or keeps the take.
    void settleEdits()
    {
        using A = TakeJobs::Answer;
        QFETCH(int, answer);
        QFETCH(QList<int>, dropped);
        QFETCH(bool, goOnNow);
        QFETCH(QString, project);
        const QModelIndex take = m_session->model()->index(1, 0);
        const auto cell = [&](int column) {
            return take.siblingAtColumn(column).data().toString();
        };
        const QString file = cell(Path);
        const QByteArray audio = TestUtil::audioOf(file);
        const QString own = cell(Project);
        QStringList asked;
        TakeJobs::Questions q;
        if (answer >= 0)
            q.unsavedEdits = [&](const QString& name) { return asked << name, A(answer); };
        m_session->jobs()->setQuestions(q);
        m_session->setCurrentTake(take, {take});
        QSignalSpy unsaved(m_session.get(), &TakeSession::unsavedChanged);
        QVERIFY(m_session->editState().edit(Project, TakeField::Project, "Edited"));
        QCOMPARE(unsaved.count(), 1);
        QVERIFY(m_session->isUnsaved(1) && !m_session->isUnsaved(0));

        int wentOn = 0;
        const bool all = dropped.isEmpty();
        QCOMPARE(m_session->settleEdits(dropped, all, [&] { ++wentOn; }), goOnNow);
        const bool asks = (all || dropped.contains(1)) && answer >= 0;
        QCOMPARE(asked, asks ? QStringList{cell(FileName)} : QStringList());
        const bool saved = answer == int(A::Save);
        if (saved)
            QTRY_COMPARE(wentOn, 1);
        QCOMPARE(cell(Project), project.isEmpty() ? own : project);
        QCOMPARE(m_session->hasUnsavedEdits(), !saved && !project.isEmpty());
        AudioFile f;
        QVERIFY(f.Open(file));
        QCOMPARE(f.GetProjectName() == "Edited", saved);
        QCOMPARE(TestUtil::audioOf(file), audio);
        // Removed without a question, a take takes its edits with it; they
        // are never taken for edits of the next take.
        m_session->removeTakes(all ? QList<int>{0, 1} : dropped);
        QCOMPARE(m_session->hasUnsavedEdits(),
                 !saved && !project.isEmpty() && !all && !dropped.contains(1));
    }

    // A rate change moves the timecodes (the timestamp stays) or, with the
    // start kept, the timestamp; only those cells change, and the file
    // saved with the row's edits reads back what the row shows.
    void rateChanges_data()
    {
        QTest::addColumn<bool>("frameRate"); // else the sample rate
        QTest::addColumn<bool>("preserve");
        QTest::newRow("frame rate, timestamp kept") << true << false;
        QTest::newRow("frame rate, start kept") << true << true;
        QTest::newRow("sample rate, timestamp kept") << false << false;
        QTest::newRow("sample rate, start kept") << false << true;
    }

    void rateChanges()
    {
        QFETCH(bool, frameRate);
        QFETCH(bool, preserve);
        const QStringList before = row();
        const QString path = cell(Path);
        const QByteArray audio = TestUtil::audioOf(path);
        AudioFile f;
        QVERIFY(f.Open(path));
        QString fr = cell(FrameRate);
        int rate = cell(SampleRate).toInt();
        QList<int> changed;
        if (frameRate) {
            fr = fr == "25 ND" ? "24 ND" : "25 ND";
            state().setFrameRate(fr, QString::number(rate), before.at(StartTC), preserve);
            changed << FrameRate << MasterSpeed;
        } else {
            rate = 96000;
            QVERIFY(state().setSampleRate("96000", fr, before.at(StartTC), preserve));
            changed << SampleRate << TCSampleRate;
            QCOMPARE(cell(TCSampleRate), QStringLiteral("96000"));
        }
        if (preserve) {
            const QString samples = f.GetSamplesSinceMidnight(rate, fr, before.at(StartTC));
            QCOMPARE(cell(SamplesSinceMidnight), samples);
            QCOMPARE(cell(EndTC), f.GetTCEnd(samples, fr, rate));
            changed << SamplesSinceMidnight << EndTC << Length;
        } else {
            QCOMPARE(cell(StartTC), f.GetTCStart(fr, rate));
            QCOMPARE(cell(EndTC), f.GetTCEnd(fr, rate));
            changed << StartTC << EndTC << Length;
        }
        QCOMPARE(cell(Length), f.GetDuration(rate));
        for (int c = 0; c < Count; ++c) {
            if (!changed.contains(c))
                QVERIFY2(cell(c) == before.at(c), qPrintable(QString::number(c)));
        }
        const TakeFields flags = m_session->editedFields();
        QCOMPARE(flags.testFlag(TakeField::FrameRate), frameRate);
        QCOMPARE(flags.testFlag(TakeField::SampleRate), !frameRate);
        QCOMPARE(flags.testFlag(TakeField::SamplesSinceMidnight), preserve);

        const auto results = TakeSaver().run({path}, state().editsForRow(0, false));
        QCOMPARE(results.at(0).outcome, TakeBatch::Outcome::Done);
        AudioFile g;
        QVERIFY(g.Open(path));
        QCOMPARE(g.GetFrameRate(), fr);
        QCOMPARE(int(g.GetSampleRate()), rate);
        QCOMPARE(g.GetTCStart(), cell(StartTC));
        QCOMPARE(g.GetSamplesSinceMidnight(), cell(SamplesSinceMidnight));
        QCOMPARE(TestUtil::audioOf(path), audio);
    }

    void aSampleRateIsAPositiveNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("rate") << "96000" << true;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("zero") << "0" << false;
    }

    void aSampleRateIsAPositiveNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        const QStringList before = row();
        QCOMPARE(state().setSampleRate(text, cell(FrameRate), cell(StartTC), false), accepted);
        QCOMPARE(m_session->isEdited(TakeField::SampleRate), accepted);
        if (!accepted)
            QCOMPARE(row(), before);
    }

    // An edited start timecode sets the timestamp; a drop-frame rate
    // separates the frames with ";".
    void theStartTimecodeSetsTheTimestamp_data()
    {
        QTest::addColumn<QString>("frameRate");
        QTest::addColumn<QString>("start");
        QTest::newRow("drop frame") << QStringLiteral("29.97 DF") << "11:22:33;10";
        QTest::newRow("non-drop") << QStringLiteral("25 ND") << "11:22:33:10";
    }

    void theStartTimecodeSetsTheTimestamp()
    {
        QFETCH(QString, frameRate);
        QFETCH(QString, start);
        const int rate = cell(SampleRate).toInt();
        QVERIFY(state().setStartTimecode(frameRate, rate, "11:22:33:10"));
        AudioFile f;
        QVERIFY(f.Open(cell(Path)));
        const QString samples = f.GetSamplesSinceMidnight(rate, frameRate, start);
        QCOMPARE(cell(StartTC), start);
        QCOMPARE(cell(SamplesSinceMidnight), samples);
        QCOMPARE(cell(EndTC), f.GetTCEnd(samples, frameRate, rate));
        QCOMPARE(m_session->editedFields(), TakeFields(TakeField::SamplesSinceMidnight));
    }

    // A save asks first about a rate change (Save writes, Discard puts the
    // file's values back, Cancel keeps the edits unsaved) and about a scene
    // and take another take has (yes saves with "+" before the scene).
    void saveQuestions_data()
    {
        using A = TakeJobs::Answer;
        QTest::addColumn<QString>("edit"); // "rate", "duplicate" or none
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("editsLeft");
        QTest::newRow("rate, save") << "rate" << int(A::Save) << true << false;
        QTest::newRow("rate, discard") << "rate" << int(A::Discard) << false << false;
        QTest::newRow("rate, cancel") << "rate" << int(A::Cancel) << false << true;
        QTest::newRow("duplicate, yes") << "duplicate" << int(A::Save) << true << false;
        QTest::newRow("duplicate, no") << "duplicate" << int(A::Discard) << false << false;
    }

    void saveQuestions()
    {
        QFETCH(QString, edit);
        QFETCH(int, answer);
        QFETCH(bool, written);
        QFETCH(bool, editsLeft);
        const QString path = cell(Path);
        const QByteArray before = TestUtil::readFile(path);
        const QByteArray audio = TestUtil::audioOf(path);
        const QStringList shown = row();
        const QString fr = cell(FrameRate) == "25 ND" ? "24 ND" : "25 ND";
        const QString scene = m_session->editState().cell(1, Scene);
        if (edit == "rate")
            state().setFrameRate(fr, cell(SampleRate), cell(StartTC), false);
        if (edit == "duplicate") {
            state().edit(Scene, TakeField::Scene, scene);
            state().edit(Take, TakeField::Take, m_session->editState().cell(1, Take));
        }
        const QStringList edited = row();
        TakeJobs::Questions q;
        q.confirmRateChange = [&] { return TakeJobs::Answer(answer); };
        q.confirmDuplicate = [&] { return answer == int(TakeJobs::Answer::Save); };
        m_session->jobs()->setQuestions(q);
        QSignalSpy done(m_session->jobs(), &TakeJobs::finished);
        QCOMPARE(m_session->saveEdits({0}, false, false), written);
        if (written)
            QVERIFY(done.wait(30000));
        QCOMPARE(m_session->hasUnsavedEdits(), editsLeft);
        if (!written)
            QCOMPARE(row(), editsLeft ? edited : shown);
        QCOMPARE(TestUtil::readFile(path) == before, !written);
        QCOMPARE(TestUtil::audioOf(path), audio);
        AudioFile f;
        QVERIFY(f.Open(path));
        if (written && edit == "rate")
            QCOMPARE(f.GetFrameRate(), fr);
        if (written && edit == "duplicate")
            QCOMPARE(f.GetSceneName(), "+" + scene);
    }

    // A discard puts back the file's values of the edited fields only.
    void aDiscardRestoresTheEditedFieldsOnly()
    {
        const QStringList shown = row();
        QVERIFY(state().edit(Scene, TakeField::Scene, "Q"));
        QVERIFY(state().edit(Notes, TakeField::Notes, "edited"));
        state().setCell(0, Tape, "UNFLAGGED");
        QSignalSpy unsaved(m_session.get(), &TakeSession::unsavedChanged);
        m_session->discardEdits();
        QStringList expected = shown;
        expected[Tape] = "UNFLAGGED";
        QCOMPARE(row(), expected);
        QCOMPARE(unsaved.count(), 1);
        QVERIFY(!m_session->hasUnsavedEdits());
    }

    // A save of two takes waits for a running job, then writes the edited
    // fields into every file of both, never the take name (it belongs to one
    // take); the audio stays as it was.
    void aSaveOfTwoTakesWritesEveryFile()
    {
        const QModelIndex current = m_session->model()->index(0, 0);
        m_session->setCurrentTake(current, {m_session->model()->index(1, 0), current});
        QVERIFY(state().edit(Project, TakeField::Project, "Seen"));
        QVERIFY(!state().edit(Project, TakeField::Project, "Seen")); // no change, no edit
        QVERIFY(state().edit(Take, TakeField::Take, "88"));
        QVERIFY(state().edit(Notes, TakeField::Notes, QString(12000, 'r')));
        const QDir dir(QFileInfo(cell(Path)).absolutePath());
        QHash<QString, QByteArray> audio;
        for (const QString& name : dir.entryList({"*.WAV"}, QDir::Files))
            audio.insert(dir.filePath(name), TestUtil::audioOf(dir.filePath(name)));
        QCOMPARE(audio.size(), 5);
        QStringList warned;
        TakeJobs::Questions q;
        q.warn = [&](const QString& text) { warned << text; };
        m_session->jobs()->setQuestions(q);
        QSignalSpy done(m_session->jobs(), &TakeJobs::finished);
        QTemporaryDir out;
        QVERIFY(m_session->copyTakes({1}, out.path()));
        QVERIFY(!m_session->saveSelected());
        QCOMPARE(warned, QStringList{"Please wait until action completes and try again."});
        QVERIFY(done.wait(30000));
        QVERIFY(m_session->saveSelected());
        QVERIFY(done.wait(30000));
        for (auto it = audio.cbegin(); it != audio.cend(); ++it) {
            AudioFile f;
            QVERIFY(f.Open(it.key()));
            QCOMPARE(f.GetProjectName(), QStringLiteral("Seen"));
            QVERIFY(f.GetTakeName() != QLatin1String("88"));
            QCOMPARE(f.GetNotes().size(), 12000);
            QCOMPARE(TestUtil::audioOf(it.key()), it.value());
        }
        QVERIFY(dir.entryList({"*_updatebackup*"}, QDir::Files).isEmpty());
    }

    // The status line of a job that ended: what was done, what was left and why.
    void summary()
    {
        using K = TakeJobs::Kind;
        const struct {
            K kind;
            int takes, done, unchanged, skipped;
            bool cancelled;
            const char* line;
        } cases[] = {
            {K::Save, 3, 3, 0, 0, false, "3 takes saved"},
            {K::Rename, 4, 2, 1, 1, false,
             "2 takes renamed, 1 already named, 1 skipped: 12AT01.WAV exists"},
            {K::Copy, 3, 1, 0, 0, true, "1 take copied, 2 cancelled"},
            {K::Delete, 2, 0, 0, 0, false, "0 takes deleted, 2 failed"},
        };
        for (const auto& c : cases) {
            TakeJobs::Result r;
            r.kind = c.kind;
            r.takes = c.takes;
            r.done = c.done;
            r.unchanged = c.unchanged;
            r.skipped = c.skipped;
            r.skips = c.skipped ? QStringList{"12AT01.WAV exists"} : QStringList();
            r.cancelled = c.cancelled;
            QCOMPARE(TakeJobs::summary(r), QString(c.line));
        }
    }
};

QTEST_GUILESS_MAIN(TestTakeSession)
#include "tst_takesession.moc"

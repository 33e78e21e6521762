#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeCommands.h"
#include "TakeEditState.h"
#include "TakeFileMaker.h"
#include "TakeJobs.h"
#include "TakeSession.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TakeColumns;

// The take list of a window without any widget: imports, clears, the edits
// of the current take and the order in which rows go.
class TestTakeSession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Imports paths and waits for the import to end.
    static bool importAndWait(TakeSession& session, const QStringList& paths)
    {
        QSignalSpy done(&session, &TakeSession::importFinished);
        session.importPaths(paths, TakeImporter::Origin::Drop);
        return done.wait(60000);
    }
    // The audio bytes of a take file, as its header places them.
    static QByteArray audioOf(const QString& file)
    {
        AudioFile f;
        QFile raw(file);
        if (!f.Open(file) || !raw.open(QIODevice::ReadOnly) || !raw.seek(qint64(f.m_fileDataPos)))
            return QByteArray();
        return raw.read(qint64(f.m_info.dataSize));
    }
    static QStringList names(const AudioFileModel& model)
    {
        QStringList n;
        for (int r = 0; r < model.rowCount(); ++r)
            n << model.data(model.index(r, FileName)).toString();
        return n;
    }

private slots:
    void initTestCase();
    void removeTakes_data();
    void removeTakes();
    void queuedImportsRunOneAfterAnother();
    void removingTheCurrentTakeDropsItsEdits_data();
    void removingTheCurrentTakeDropsItsEdits();
    void destructionRemovesEveryRowFirst();
    void damagedTakesAreListedAsDamaged_data();
    void damagedTakesAreListedAsDamaged();
    void deleteTakes_data();
    void deleteTakes();
    void controlsFollowTheirCommand_data();
    void controlsFollowTheirCommand();
    void listingAndPlaybackLock_data();
    void listingAndPlaybackLock();
    void renameAndCopyRefusals_data();
    void renameAndCopyRefusals();
    void settleEdits_data();
    void settleEdits();
};

void TestTakeSession::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // T0001, T0003, T0005 polyphonic; T0002, T0004 mono groups of two.
    QCOMPARE(TakeFileMaker::writeDemoTakes(m_dir.path(), 5, 2).size(), 7);
}

void TestTakeSession::removeTakes_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("none") << QList<int>() << QStringList{"1", "2", "3", "4", "5"};
    QTest::newRow("first") << QList<int>{0} << QStringList{"2", "3", "4", "5"};
    QTest::newRow("apart, unsorted") << QList<int>{4, 1} << QStringList{"1", "3", "4"};
    QTest::newRow("adjacent and apart") << QList<int>{0, 1, 3} << QStringList{"3", "5"};
    QTest::newRow("twice and out of range")
        << QList<int>{2, 2, 9, -1} << QStringList{"1", "2", "4", "5"};
    QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4} << QStringList();
}

void TestTakeSession::removeTakes()
{
    QFETCH(QList<int>, rows);
    QFETCH(QStringList, left);
    TakeSession session;
    QVERIFY(importAndWait(session, {m_dir.path()}));
    AudioFileModel& model = *session.model();
    QCOMPARE(model.rowCount(), 5);
    session.removeTakes(rows);

    // Each remaining row keeps its own side tables: a mono take two tracks,
    // a poly take its own.
    QStringList takes;
    for (int r = 0; r < model.rowCount(); ++r) {
        const QString name = model.data(model.index(r, FileName)).toString();
        const int take = name.mid(1, 4).toInt();
        takes << QString::number(take);
        const QList<QStringList> tracks = model.trackInfo(r);
        QCOMPARE(tracks.size(), 2);
        // Mono takes are even; each file's path names its take.
        QCOMPARE(model.data(model.index(r, Channels)).toString().endsWith("(MONO)"), take % 2 == 0);
        QVERIFY(model.data(model.index(r, Path)).toString().contains(name.left(5)));
    }
    QCOMPARE(takes, left);
}

void TestTakeSession::queuedImportsRunOneAfterAnother()
{
    TakeSession session;
    QSignalSpy done(&session, &TakeSession::importFinished);
    const QDir dir(m_dir.path());
    // The second import is asked for while the first runs; the third brings
    // a take the first already listed.
    session.importPaths({dir.filePath("T0001.WAV")}, TakeImporter::Origin::Drop);
    session.importPaths({dir.filePath("T0002_2.WAV"), dir.filePath("none.WAV")},
                        TakeImporter::Origin::Drop);
    session.importPaths({dir.filePath("T0001.WAV")}, TakeImporter::Origin::Drop);
    QVERIFY(session.isImporting());
    while (done.count() < 3)
        QVERIFY(done.wait(60000));
    QVERIFY(!session.isImporting());
    QCOMPARE(done.at(0), QVariantList({1, 0}));
    QCOMPARE(done.at(1), QVariantList({1, 1}));
    QCOMPARE(done.at(2), QVariantList({0, 0}));
    QCOMPARE(names(*session.model()), QStringList({"T0001.WAV", "T0002_X.WAV"}));
}

void TestTakeSession::removingTheCurrentTakeDropsItsEdits_data()
{
    QTest::addColumn<int>("removed");
    QTest::addColumn<bool>("editsKept");
    QTest::newRow("the current take") << 1 << false;
    QTest::newRow("another take") << 2 << true;
}

void TestTakeSession::removingTheCurrentTakeDropsItsEdits()
{
    QFETCH(int, removed);
    QFETCH(bool, editsKept);
    TakeSession session;
    QVERIFY(importAndWait(session, {m_dir.path()}));
    QSignalSpy current(&session, &TakeSession::currentTakeChanged);
    session.setCurrentTake(session.model()->index(1, 0), {});
    QCOMPARE(current.count(), 1);
    session.markEdited(TakeField::Scene);
    session.markEdited(TakeField::Tracks);
    session.removeTakes({removed});
    QCOMPARE(session.isEdited(TakeField::Scene), editsKept);
    QCOMPARE(session.editedFields() == (TakeField::Scene | TakeField::Tracks), editsKept);
}

void TestTakeSession::destructionRemovesEveryRowFirst()
{
    auto session = std::make_unique<TakeSession>();
    QVERIFY(importAndWait(*session, {m_dir.path()}));
    QPointer<AudioFileModel> model = session->model();
    QSignalSpy removed(model.data(), &QAbstractItemModel::rowsRemoved);
    session.reset();
    QVERIFY(model.isNull());
    // One take at a time, each seen by the watchers before the model goes.
    QCOMPARE(removed.count(), 5);
    // The files stay.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), 7);
}

void TestTakeSession::damagedTakesAreListedAsDamaged_data()
{
    QTest::addColumn<int>("files");     // 1: a polyphonic take, else a mono group
    QTest::addColumn<int>("damagedAt"); // the damaged file (0-based), -1 none
    QTest::newRow("whole take") << 1 << -1;
    QTest::newRow("polyphonic, cut short") << 1 << 0;
    QTest::newRow("mono, RIFF size of the second file wrong") << 3 << 1;
}

// The reader's damage reaches the take list: the file-name cell's tooltip
// says what is damaged (every other cell still shows the path), and any cell
// gives it through DamageRole.
void TestTakeSession::damagedTakesAreListedAsDamaged()
{
    QFETCH(int, files);
    QFETCH(int, damagedAt);
    QTemporaryDir dir;
    QStringList paths;
    TakeShape shape;
    if (files == 1) {
        shape.channels = 2;
        shape.chop = damagedAt == 0 ? 100 : 0;
        paths << dir.filePath("T1.WAV");
        QVERIFY(TakeFileMaker::write(paths.first(), shape));
    } else {
        paths = TakeFileMaker::writeMonoTake(dir.path(), "T1", files, shape);
        // The audio is whole (the take still groups), its RIFF size is not.
        QFile f(paths.at(damagedAt));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(4));
        QCOMPARE(f.write(QByteArray::fromHex("00100000")), 4);
    }
    TakeSession session;
    QVERIFY(importAndWait(session, {dir.path()}));
    const AudioFileModel& model = *session.model();
    QCOMPARE(model.rowCount(), 1);
    const QString damage = model.damage(0);
    const QString tip = model.data(model.index(0, FileName), Qt::ToolTipRole).toString();
    QCOMPARE(model.data(model.index(0, Scene), Qt::ToolTipRole).toString(),
             model.data(model.index(0, Path)).toString());
    if (damagedAt < 0) {
        QVERIFY(damage.isEmpty());
        QCOMPARE(tip, model.data(model.index(0, Path)).toString());
        return;
    }
    QVERIFY(!damage.isEmpty());
    QCOMPARE(tip, damage);
    QCOMPARE(model.data(model.index(0, Take), AudioFileModel::DamageRole).toString(), damage);
    if (files > 1) {
        QVERIFY2(damage.startsWith(QFileInfo(paths.at(damagedAt)).fileName() + ": "),
                 qPrintable(damage));
        QVERIFY(!damage.contains('\n'));
    }
}

void TestTakeSession::deleteTakes_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("playing");
    QTest::addColumn<QStringList>("listed"); // the takes listed afterwards
    QTest::addColumn<int>("files");          // the files left on disk
    QTest::addColumn<QString>("problems");
    QTest::addColumn<QString>("line");
    QTest::newRow("a mono take, every file")
        << QList<int>{1} << -1 << QStringList{"1", "3", "4", "5"} << 5 << ""
        << "1 take deleted";
    QTest::newRow("the playing take stays")
        << QList<int>{0, 2} << 0 << QStringList{"1", "2", "4", "5"} << 6
        << "T0001.WAV: it is playing; nothing was deleted."
        << "1 take deleted, 1 skipped: T0001.WAV: it is playing; nothing was deleted.";
}

// Deleting takes deletes every file of each take and unlists it; a take
// that is playing keeps its files and stays listed, saying why.
void TestTakeSession::deleteTakes()
{
    QFETCH(QList<int>, rows);
    QFETCH(int, playing);
    QFETCH(QStringList, listed);
    QFETCH(int, files);
    QFETCH(QString, problems);
    QFETCH(QString, line);
    QTemporaryDir dir;
    QCOMPARE(TakeFileMaker::writeDemoTakes(dir.path(), 5, 2).size(), 7);
    TakeSession session;
    QVERIFY(importAndWait(session, {dir.path()}));
    QSignalSpy status(&session, &TakeSession::statusLine);
    session.playStarted(session.model()->index(playing, 0));
    QCOMPARE(session.deleteTakes(rows, session.playingRow()).notes, problems);
    QCOMPARE(status.last().at(0).toString(), line);
    QStringList takes;
    for (const QString& name : names(*session.model()))
        takes << QString::number(name.mid(1, 4).toInt());
    QCOMPARE(takes, listed);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files);
}

void TestTakeSession::controlsFollowTheirCommand_data()
{
    using C = TakeCommands::Control;
    QTest::addColumn<C>("control");
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("available"); // the command, once declared
    QTest::addColumn<bool>("wanted");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("save at start") << C::Save << true << true << true << true;
    QTest::newRow("rate boxes withdrawn") << C::RateBoxes << true << false << true << false;
    QTest::newRow("rename not wanted") << C::Rename << false << true << false << false;
    QTest::newRow("copy wanted") << C::CopyTo << false << true << true << true;
    QTest::newRow("stop without playback") << C::Stop << false << false << true << false;
    QTest::newRow("stop with playback") << C::Stop << false << true << true << true;
    QTest::newRow("reports provided") << C::Reports << false << true << true << true;
    QTest::newRow("split/combine not provided")
        << C::SplitCombine << false << false << true << false;
}

// A control is on when it is wanted and its command is available; every
// change says so.
void TestTakeSession::controlsFollowTheirCommand()
{
    QFETCH(TakeCommands::Control, control);
    QFETCH(bool, atStart);
    QFETCH(bool, available);
    QFETCH(bool, wanted);
    QFETCH(bool, enabled);
    TakeSession session;
    TakeCommands& commands = *session.commands();
    QCOMPARE(commands.isEnabled(control), atStart);
    QSignalSpy changed(&commands, &TakeCommands::enabledChanged);
    commands.setAvailable(TakeCommands::commandOf(control), available);
    commands.setWanted(control, wanted);
    QCOMPARE(commands.isEnabled(control), enabled);
    QVERIFY(changed.size() >= 2);
    QCOMPARE(changed.last().at(0).value<TakeCommands::Control>(), control);
    QCOMPARE(changed.last().at(1).toBool(), enabled);
}

void TestTakeSession::listingAndPlaybackLock_data()
{
    using C = TakeCommands::Control;
    QTest::addColumn<C>("control");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("playback"); // "", "plays" or "stopped" afterwards
    QTest::addColumn<bool>("enabled");
    QTest::newRow("clear, empty list") << C::Clear << false << "" << false;
    QTest::newRow("clear, takes listed") << C::Clear << true << "" << true;
    QTest::newRow("clear, take plays") << C::Clear << true << "plays" << false;
    QTest::newRow("delete, take plays") << C::Delete << true << "plays" << false;
    QTest::newRow("rename, take plays") << C::Rename << true << "plays" << false;
    QTest::newRow("copy, take plays") << C::CopyTo << true << "plays" << true;
    QTest::newRow("copy, empty list") << C::CopyTo << false << "" << false;
    QTest::newRow("save, empty list") << C::Save << false << "" << true;
    QTest::newRow("delete, stopped") << C::Delete << true << "stopped" << true;
    // Stopping wants Rename, Clear and Delete again, listed or not.
    QTest::newRow("rename, stopped, empty") << C::Rename << false << "stopped" << true;
}

// Listing takes wants the whole-take controls; a playing take locks the
// ones that would take its file away.
void TestTakeSession::listingAndPlaybackLock()
{
    QFETCH(TakeCommands::Control, control);
    QFETCH(bool, listed);
    QFETCH(QString, playback);
    QFETCH(bool, enabled);
    TakeSession session;
    TakeCommands& commands = *session.commands();
    commands.setAvailable(TakeCommands::commandOf(control), true);
    commands.setTakesListed(listed);
    if (playback == QLatin1String("plays"))
        session.playStarted(QModelIndex());
    else if (!playback.isEmpty())
        session.playStopped();
    QCOMPARE(commands.isEnabled(control), enabled);
}

void TestTakeSession::renameAndCopyRefusals_data()
{
    QTest::addColumn<bool>("copy"); // or rename
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<bool>("intoSource");
    QTest::addColumn<QString>("warning"); // empty: the job runs
    QTest::newRow("rename, nothing selected")
        << false << QList<int>{} << false << "Please select takes to be renamed.";
    QTest::newRow("copy, nothing selected")
        << true << QList<int>{} << false << "Please select takes to copy.";
    QTest::newRow("copy into the takes' own folder")
        << true << QList<int>{0, 1} << true
        << "Source and Destination are the same.\n Please select a different Destination.";
    QTest::newRow("copy elsewhere") << true << QList<int>{1} << false << "";
}

// Rename and copy refuse before touching a file when no take is chosen or a
// take would be copied onto itself; otherwise the copies are the takes' bytes.
void TestTakeSession::renameAndCopyRefusals()
{
    QFETCH(bool, copy);
    QFETCH(QList<int>, rows);
    QFETCH(bool, intoSource);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    QTemporaryDir out;
    QCOMPARE(TakeFileMaker::writeDemoTakes(dir.path(), 2, 2).size(), 3);
    TakeSession session;
    QVERIFY(importAndWait(session, {dir.path()}));
    QStringList warned;
    TakeJobs::Questions questions;
    questions.warn = [&warned](const QString& text) { warned << text; };
    session.jobs()->setQuestions(questions);
    QSignalSpy finished(session.jobs(), &TakeJobs::finished);
    const QString folder = intoSource ? dir.path() : out.path();
    const bool started = copy ? session.copyTakes(rows, folder) : session.renameTakes(rows);
    QCOMPARE(started, warning.isEmpty());
    QCOMPARE(warned, warning.isEmpty() ? QStringList() : QStringList{warning});
    if (!started) {
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 3);
        return;
    }
    QVERIFY(finished.wait(60000));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 2); // the mono take's two files
}

void TestTakeSession::settleEdits_data()
{
    using A = TakeJobs::Answer;
    QTest::addColumn<int>("answer"); // -1: no one answers
    QTest::addColumn<QList<int>>("dropped");
    QTest::addColumn<bool>("goOnNow");
    QTest::addColumn<QString>("project"); // the current take's afterwards; "": its file's
    QTest::newRow("another take goes") << int(A::Cancel) << QList<int>{2} << true << "Edited";
    QTest::newRow("cancel") << int(A::Cancel) << QList<int>{1, 2} << false << "Edited";
    QTest::newRow("unanswered") << -1 << QList<int>{1} << false << "Edited";
    QTest::newRow("discard") << int(A::Discard) << QList<int>{1} << true << "";
    QTest::newRow("save, then go on") << int(A::Save) << QList<int>{1} << false << "Edited";
    QTest::newRow("save at quit") << int(A::Save) << QList<int>{} << false << "Edited";
}

// Before the current take with unsaved edits leaves the list (or the window
// closes, all rows), the user saves them, discards them or keeps the take.
void TestTakeSession::settleEdits()
{
    QFETCH(int, answer);
    QFETCH(QList<int>, dropped);
    QFETCH(bool, goOnNow);
    QFETCH(QString, project);
    QTemporaryDir dir;
    QCOMPARE(TakeFileMaker::writeDemoTakes(dir.path(), 3, 2).size(), 4);
    TakeSession session;
    QVERIFY(importAndWait(session, {dir.path()}));
    const QModelIndex take = session.model()->index(1, 0);
    const QString file = session.model()->data(take.siblingAtColumn(Path)).toString();
    const QByteArray audio = audioOf(file);
    const QString own = session.model()->data(take.siblingAtColumn(Project)).toString();
    QStringList asked;
    TakeJobs::Questions q;
    if (answer >= 0)
        q.unsavedEdits = [&](const QString& name) {
            return asked << name, TakeJobs::Answer(answer);
        };
    session.jobs()->setQuestions(q);
    session.setCurrentTake(take, {take});
    QSignalSpy unsaved(&session, &TakeSession::unsavedChanged);
    QVERIFY(session.editState().edit(Project, TakeField::Project, "Edited"));
    QCOMPARE(unsaved.count(), 1);
    QVERIFY(session.isUnsaved(1) && !session.isUnsaved(0));

    int wentOn = 0;
    const bool all = dropped.isEmpty();
    QCOMPARE(session.settleEdits(dropped, all, [&] { ++wentOn; }), goOnNow);
    const bool asks = all || dropped.contains(1);
    QCOMPARE(asked,
             asks && answer >= 0
                 ? QStringList{session.model()->data(take.siblingAtColumn(FileName)).toString()}
                 : QStringList());
    if (answer == int(TakeJobs::Answer::Save))
        QTRY_COMPARE(wentOn, 1);
    QCOMPARE(session.model()->data(take.siblingAtColumn(Project)).toString(),
             project.isEmpty() ? own : project);
    const bool saved = answer == int(TakeJobs::Answer::Save);
    QCOMPARE(session.hasUnsavedEdits(), !saved && !project.isEmpty());
    AudioFile f;
    QVERIFY(f.Open(file));
    QCOMPARE(f.GetProjectName() == "Edited", saved);
    QCOMPARE(audioOf(file), audio);
}

QTEST_GUILESS_MAIN(TestTakeSession)
#include "tst_takesession.moc"

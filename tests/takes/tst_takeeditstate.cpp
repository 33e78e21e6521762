#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeColumns.h"
#include "TakeEditState.h"
#include "TakeFileMaker.h"
#include "TakeJobs.h"
#include "TakeSaver.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TakeColumns;

// The edits of the current take without any widget: rate and timecode
// changes of the row, the edits a save writes, and what reaches the file.
class TestTakeEditState : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<TakeSession> m_session;

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
        const QString dir = m_tmp.filePath("takes");
        QDir(dir).removeRecursively();
        QVERIFY(QDir().mkpath(dir));
        QCOMPARE(TakeFileMaker::writeDemoTakes(dir, 2).size(), 5);
        m_session = std::make_unique<TakeSession>();
        QSignalSpy done(m_session.get(), &TakeSession::importFinished);
        m_session->importPaths({dir}, TakeImporter::Origin::Drop);
        QVERIFY(done.wait(60000));
        QCOMPARE(m_session->model()->rowCount(), 2);
        m_session->setCurrentTake(m_session->model()->index(0, 0), {});
    }

    void cleanup() { m_session.reset(); }

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
};

QTEST_GUILESS_MAIN(TestTakeEditState)
#include "tst_takeeditstate.moc"

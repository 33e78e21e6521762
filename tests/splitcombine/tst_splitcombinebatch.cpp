#include "SplitCombineTestKit.h"

#include "AudioThread.h"

#include <QPoint>
#include <QTemporaryDir>

#include <utility>

using namespace SplitCombineTestKit;
using Cell = SplitCombineBatch::Cell;

namespace
{
// Grid cells as points: x = row, y = column.
QList<Cell> cellsOf(const QList<QPoint>& points)
{
    QList<Cell> cells;
    for (const QPoint& p : points)
        cells << Cell{p.x(), p.y()};
    return cells;
}
// Every track into its own output track: the combine grid's default.
QList<QPoint> diagonal()
{
    QList<QPoint> cells;
    for (int i = 0; i < 32; ++i)
        cells << QPoint(i, i);
    return cells;
}
} // namespace

// The batch logic of the Split/Combine window without widgets: the rules
// that turn grid cells into outputs, and runs over an imported take list:
// which outputs are made from which files, what is skipped, asked and said.
class TestSplitCombineBatch : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_in;
    QString m_out;
    std::unique_ptr<TakeSession> m_session;
    std::unique_ptr<SplitCombineBatch> m_batch;

    QString run(const std::function<QString()>& start)
    {
        QSignalSpy finished(m_batch.get(), &SplitCombineBatch::finished);
        const QString refusal = start();
        return refusal.isEmpty() ? finalMessage(finished) : refusal;
    }
    QStringList outFiles() const { return QDir(m_out).entryList(QDir::Files | QDir::Hidden); }

private slots:
    void init()
    {
        m_in = m_tmp.filePath("in");
        m_out = m_tmp.filePath("out");
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_in);
        QDir().mkpath(m_out);
        m_session = std::make_unique<TakeSession>();
        m_batch = std::make_unique<SplitCombineBatch>(m_session.get());
    }
    void cleanup()
    {
        m_batch.reset();
        m_session.reset();
    }

    void splitRule_data()
    {
        QTest::addColumn<QList<QPoint>>("cells");
        QTest::addColumn<QStringList>("names"); // outputs of T003.wav
        QTest::addColumn<QVector<unsigned>>("masks");
        QTest::newRow("tracks 1+2 and 3")
            << QList<QPoint>{{0, 0}, {1, 0}, {2, 1}} << QStringList{"T003_1_2.wav", "T003_3.wav"}
            << QVector<unsigned>{0b011, 0b100};
        QTest::newRow("rows in track order, empty columns skipped")
            << QList<QPoint>{{2, 3}, {0, 3}, {3, 0}} << QStringList{"T003_4.wav", "T003_1_3.wav"}
            << QVector<unsigned>{0b1000, 0b0101};
        QTest::newRow("track 32") << QList<QPoint>{{31, 31}} << QStringList{"T003_32.wav"}
                                  << QVector<unsigned>{0x80000000u};
    }
    void splitRule()
    {
        QFETCH(QList<QPoint>, cells);
        QFETCH(QStringList, names);
        QFETCH(QVector<unsigned>, masks);
        QStringList gotNames;
        QVector<unsigned> gotMasks;
        for (const auto& out : SplitCombineBatch::splitRule(cellsOf(cells))) {
            gotNames << QFileInfo(
                            SplitCombineBatch::splitOutputPath("/d", "/s/T003.wav", out.suffix))
                            .fileName();
            gotMasks << out.mask;
        }
        QCOMPARE(gotNames, names);
        QCOMPARE(gotMasks, masks);
    }

    void batchCombinePlan_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QList<QPoint>>("cells");
        QTest::addColumn<QString>("output"); // empty: no cell applies
        QTest::addColumn<QList<int>>("sources");
        const QStringList four{"/t/A_1.WAV", "/t/A_2.WAV", "/t/A_3.WAV", "/t/A_4.WAV"};
        QTest::newRow("sources in output track order")
            << four << QList<QPoint>{{2, 0}, {0, 1}} << "A_3_1.WAV" << QList<int>{2, 0};
        QTest::newRow("cells beyond the take left out")
            << four.mid(0, 2) << QList<QPoint>{{0, 0}, {1, 1}, {3, 1}, {2, 2}} << "A_1_2.WAV"
            << QList<int>{0, 1};
        QTest::newRow("no cell applies")
            << four.mid(0, 2) << QList<QPoint>{{2, 2}, {3, 3}} << "" << QList<int>{};
        QTest::newRow("name without _")
            << QStringList{"/t/B.wav", "/t/C.wav"} << diagonal() << "B_1_2.wav" << QList<int>{0, 1};
    }
    void batchCombinePlan()
    {
        QFETCH(QStringList, files);
        QFETCH(QList<QPoint>, cells);
        QFETCH(QString, output);
        QFETCH(QList<int>, sources);
        QString out;
        QStringList got;
        const bool applies =
            SplitCombineBatch::batchCombinePlan("/d", files, cellsOf(cells), &out, &got);
        QCOMPARE(applies, !output.isEmpty());
        QStringList expected;
        for (int i : sources)
            expected << files.at(i);
        QCOMPARE(got, expected);
        if (applies)
            QCOMPARE(out, "/d/" + output);
    }

    // Every take of the list gets its output or a line in the summary, and the
    // run always ends with it.
    void batchCombine()
    {
        const QList<QByteArray> a = writeMono(m_in, "A", {24, 24, 24});
        writeMono(m_in, "R", {24, 16}); // one take whose files differ in bit depth
        writeMono(m_in, "S", {24});
        QVERIFY(importAll(*m_session, {m_in}));
        QCOMPARE(run([&] { return m_batch->startBatchCombine(m_out, cellsOf(diagonal())); }),
                 "Done.\n\nSkipped:\nR_X.WAV: " + AudioThread::kMsgCannotCombine +
                     "\nS_1.WAV: a take of one file");
        QCOMPARE(outFiles(), QStringList{"A_1_2_3.WAV"});
        QVERIFY(holdsChannels(m_out + "/A_1_2_3.WAV", a, 3));
    }

    void manualCombineRefused_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("timestamp");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString mismatch =
            "The selected files cannot be combined.\n Parameters do not match.";
        QTest::newRow("sample rate") << 44100 << 0 << "Mix" << mismatch;
        QTest::newRow("start") << 48000 << 48000 << "Mix" << mismatch;
        QTest::newRow("no name") << 48000 << 0 << " "
                                 << "Please type a destination file name.";
        QTest::newRow("name with a folder")
            << 48000 << 0 << "../Mix"
            << "A destination file name cannot contain \"/\" or \"\\\".";
    }
    void manualCombineRefused()
    {
        QFETCH(int, rate);
        QFETCH(int, timestamp);
        QFETCH(QString, name);
        QFETCH(QString, message);
        TestTake first;
        first.channels = 1;
        first.frames = 480;
        first.timeReference = 0;
        TestTake second = first;
        second.sampleRate = rate;
        second.timeReference = quint64(timestamp);
        second.firstChannel = 2;
        QVERIFY(!TestUtil::writeTake(m_in + "/X_1.WAV", first).isEmpty());
        QVERIFY(!TestUtil::writeTake(m_in + "/Y_1.WAV", second).isEmpty());
        QVERIFY(importAll(*m_session, {m_in}));
        QCOMPARE(m_batch->startManualCombine(m_out, name, {m_in + "/X_1.WAV", m_in + "/Y_1.WAV"}),
                 message);
        QVERIFY(!m_batch->isRunning());
        QCOMPARE(outFiles(), QStringList());
    }

    // Existing outputs: asked once per run; Skip keeps them byte for byte,
    // Replace replaces them, Cancel writes nothing.
    void existingOutputs_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("othersWritten");
        QTest::newRow("skip") << int(SplitCombineBatch::Answer::Skip)
                              << "Done.\n\nSkipped:\nP.wav: P_1.wav exists, kept\n"
                                 "Q.wav: Q_1.wav exists, kept"
                              << false << true;
        QTest::newRow("replace") << int(SplitCombineBatch::Answer::Replace) << "Done." << true
                                 << true;
        QTest::newRow("cancel") << int(SplitCombineBatch::Answer::Cancel) << "Cancelled." << false
                                << false;
    }
    void existingOutputs()
    {
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(bool, replaced);
        QFETCH(bool, othersWritten);
        TestTake t;
        const QByteArray p = TestUtil::writeTake(m_in + "/P.wav", t);
        t.seed = 7;
        const QByteArray q = TestUtil::writeTake(m_in + "/Q.wav", t);
        const QByteArray earlier = "RIFF earlier file of the user";
        QVERIFY(TestUtil::writeFile(m_out + "/P_1.wav", earlier));
        QVERIFY(TestUtil::writeFile(m_out + "/Q_1.wav", earlier));
        QVERIFY(importAll(*m_session, {m_in + "/P.wav", m_in + "/Q.wav"}));
        QStringList asked;
        m_batch->setAskExisting([&](const QStringList& existing) {
            asked << existing;
            return SplitCombineBatch::Answer(answer);
        });

        QCOMPARE(run([&] { return m_batch->startSplit(m_out, {{0, 0}, {1, 1}}); }), message);
        QCOMPARE(asked, QStringList{m_out + "/P_1.wav"});
        for (const auto& [name, audio] : {std::pair{"P", p}, std::pair{"Q", q}}) {
            const QString one = m_out + "/" + name + "_1.wav";
            if (replaced)
                QVERIFY(holdsChannels(one, {TestUtil::channelOf(audio, 2, 3, 0)}, 3));
            else
                QCOMPARE(TestUtil::readFile(one), earlier);
            const QString two = m_out + "/" + name + "_2.wav";
            QCOMPARE(QFileInfo::exists(two), othersWritten);
            if (othersWritten)
                QVERIFY(holdsChannels(two, {TestUtil::channelOf(audio, 2, 3, 1)}, 3));
        }
        QCOMPARE(outFiles().size(), othersWritten ? 4 : 2);
    }

    void changedTakeIsReported()
    {
        TestTake t;
        TestUtil::writeTake(m_in + "/P.wav", t);
        const QByteArray q = TestUtil::writeTake(m_in + "/Q.wav", t);
        QVERIFY(importAll(*m_session, {m_in + "/P.wav", m_in + "/Q.wav"}));
        t.channels = 4;
        const QByteArray now = TestUtil::writeTake(m_in + "/P.wav", t);

        QCOMPARE(run([&] {
                     return m_batch->startSplit(m_out, {{0, 0}});
                 }),
                 "Done.\n\nSkipped:\nP.wav: its files changed on disk since it was imported; "
                 "import it again");
        QCOMPARE(outFiles(), QStringList{"Q_1.wav"});
        QCOMPARE(TestUtil::audioOf(m_in + "/P.wav"), now);
    }

    // Cancel stops the batch in the take being written: its partial file goes,
    // the earlier take's outputs stay whole, and a new run starts cleanly.
    void cancelMidBatch()
    {
        TestTake big;
        big.frames = 3000000;
        QList<QByteArray> audio;
        for (const char* name : {"A", "B", "C"}) {
            audio << TestUtil::writeTake(m_in + "/" + name + ".wav", big);
            ++big.seed;
        }
        QVERIFY(importAll(*m_session, {m_in}));
        bool cancelled = false;
        connect(m_batch.get(), &SplitCombineBatch::progress, this, [&](int percent) {
            if (!cancelled && percent > 0 && QFileInfo::exists(m_out + "/A_1_2.wav")) {
                cancelled = true;
                m_batch->cancel();
            }
        });
        QCOMPARE(run([&] { return m_batch->startSplit(m_out, {{0, 0}, {1, 0}}); }), "Cancelled.");
        QCOMPARE(outFiles(), QStringList{"A_1_2.wav"});
        QVERIFY(holdsChannels(
            m_out + "/A_1_2.wav",
            {TestUtil::channelOf(audio.at(0), 2, 3, 0), TestUtil::channelOf(audio.at(0), 2, 3, 1)},
            3));

        QFile::remove(m_out + "/A_1_2.wav");
        cancelled = true;
        QCOMPARE(run([&] { return m_batch->startSplit(m_out, {{1, 0}}); }), "Done.");
        QCOMPARE(outFiles(), (QStringList{"A_2.wav", "B_2.wav", "C_2.wav"}));
        QVERIFY(holdsChannels(m_out + "/C_2.wav", {TestUtil::channelOf(audio.at(2), 2, 3, 1)}, 3));
    }
};

QTEST_GUILESS_MAIN(TestSplitCombineBatch)
#include "tst_splitcombinebatch.moc"

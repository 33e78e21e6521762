#include "AudioFile.h"
#include "AudioFileModel.h"
#include "TakeFileMaker.h"
#include "TakeFolderCache.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using Outcome = AudioFileModel::ImportOutcome;

// An import as the take list does it: opened files in, one row per take out.
class TestTakeImport : public QObject
{
    Q_OBJECT

private:
    std::vector<std::unique_ptr<AudioFile>> m_owned;
    std::unique_ptr<TakeFolderCache> m_cache;
    QList<AudioFile*> openAll(const QStringList& paths);
    static QString cell(const AudioFileModel& m, int row, int column)
    {
        return m.data(m.index(row, column)).toString();
    }

private slots:
    void init();
    void cleanup();
    void allFilesOfAMonoTakeGiveOneRow();
    void takeImportedTwiceIsListedOnce();
    void namesDifferingInCaseAreListedOnce();
    void loneMonoFileKeepsItsNames();
    void polyphonicFile();
    void channelIndexOutOfRangeAddsNoRow_data();
    void channelIndexOutOfRangeAddsNoRow();
    void fileGivenTwiceBringsNoStrayTake();
    void runsOfFoldersStartAfresh();
    void dateAndTimeFallBackToTheFile();
    void getTracksFollowsTheTakeOrder();
};

void TestTakeImport::init()
{
    m_cache = std::make_unique<TakeFolderCache>();
}

void TestTakeImport::cleanup()
{
    m_owned.clear();
}

QList<AudioFile*> TestTakeImport::openAll(const QStringList& paths)
{
    QList<AudioFile*> files;
    for (const QString& p : paths) {
        m_owned.push_back(std::make_unique<AudioFile>());
        if (m_owned.back()->Open(p))
            files << m_owned.back().get();
    }
    return files;
}

void TestTakeImport::allFilesOfAMonoTakeGiveOneRow()
{
    QTemporaryDir dir;
    const QStringList paths = TakeFileMaker::writeMonoTake(dir.path(), "T0003", 4);
    AudioFileModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QList<AudioFileModel::ImportResult> results;
    // Selected in reverse order: the row is still found through the first one given.
    QList<AudioFile*> files = openAll(paths);
    std::reverse(files.begin(), files.end());
    model.setModelData(*m_cache, files, &results);

    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(cell(model, 0, 0), QString("T0003_X.WAV"));
    QCOMPARE(cell(model, 0, 1), QString("T0003_X.WAV")); // recorded name T0003_4.WAV
    QCOMPARE(cell(model, 0, 2), QString("4(MONO)"));
    QCOMPARE(cell(model, 0, 30), paths.at(3));
    QCOMPARE(results.size(), 4);
    QCOMPARE(results.at(0).outcome, Outcome::Added);
    QCOMPARE(results.at(0).row, 0);
    QCOMPARE(results.at(0).takeFiles, paths);
    for (int i = 1; i < 4; ++i)
        QCOMPARE(results.at(i).outcome, Outcome::Claimed);

    // Tracks of every file in channel order; the other side tables from the file.
    const QList<QStringList> tracks = model.trackInfo(0);
    QCOMPARE(tracks.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(tracks.at(i).at(0), QString::number(i + 1));
        QCOMPARE(tracks.at(i).at(2), QString("Track %1").arg(i + 1));
    }
    QCOMPARE(model.historyInfo(0), (QStringList{"orig.wav", "parent.wav", "PUID"}));
    QCOMPARE(model.fileSetInfo(0), (QStringList{"2", "FUID", "fam", "A"}));
    QCOMPARE(model.syncPointInfo(0).size(), 1);
    QCOMPARE(model.syncPointInfo(0).at(0).at(0), QString("RELATIVE"));
}

void TestTakeImport::takeImportedTwiceIsListedOnce()
{
    QTemporaryDir dir;
    const QStringList paths = TakeFileMaker::writeMonoTake(dir.path(), "T0004", 2);
    AudioFileModel model;
    model.setModelData(*m_cache, openAll(paths));
    QList<AudioFileModel::ImportResult> results;
    model.setModelData(*m_cache, openAll(paths.mid(1)), &results);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).outcome, Outcome::Duplicate);
    QCOMPARE(results.at(0).takeFiles, paths);
}

void TestTakeImport::namesDifferingInCaseAreListedOnce()
{
    QTemporaryDir dir;
    TakeShape a;
    a.scene = "first";
    TakeShape b;
    b.scene = "second";
    QVERIFY(TakeFileMaker::write(dir.filePath("take_1.wav"), a));
    QVERIFY(TakeFileMaker::write(dir.filePath("TAKE_1.WAV"), b));
    AudioFileModel model;
    QList<AudioFileModel::ImportResult> results;
    model.setModelData(*m_cache, openAll({dir.filePath("take_1.wav"), dir.filePath("TAKE_1.WAV")}),
                       &results);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(cell(model, 0, 5), QString("first"));
    QCOMPARE(results.at(1).outcome, Outcome::Duplicate);
}

void TestTakeImport::loneMonoFileKeepsItsNames()
{
    QTemporaryDir dir;
    TakeShape s;
    s.recordedName = "T0009_2.WAV";
    QVERIFY(TakeFileMaker::write(dir.filePath("T0009_2.WAV"), s));
    AudioFileModel model;
    model.setModelData(*m_cache, openAll({dir.filePath("T0009_2.WAV")}));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(cell(model, 0, 0), QString("T0009_2.WAV"));
    QCOMPARE(cell(model, 0, 1), QString("T0009_2.WAV"));
    QCOMPARE(cell(model, 0, 2), QString("1(MONO)"));
    QCOMPARE(model.trackInfo(0).size(), 1);
}

void TestTakeImport::polyphonicFile()
{
    QTemporaryDir dir;
    TakeShape s;
    s.channels = 8;
    s.recordedName = "T0010_1.WAV";
    QVERIFY(TakeFileMaker::write(dir.filePath("T0010_1.WAV"), s));
    // A mono file of the same stem and length stays a take of its own.
    TakeShape mono;
    QVERIFY(TakeFileMaker::write(dir.filePath("T0010_2.WAV"), mono));
    AudioFileModel model;
    model.setModelData(*m_cache,
                       openAll({dir.filePath("T0010_1.WAV"), dir.filePath("T0010_2.WAV")}));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(cell(model, 0, 0), QString("T0010_1.WAV"));
    QCOMPARE(cell(model, 0, 1), QString("T0010_1.WAV")); // no "_X" for a poly file
    QCOMPARE(cell(model, 0, 2), QString("8(POLY)"));
    QCOMPARE(model.trackInfo(0).size(), 8);
    QCOMPARE(cell(model, 1, 2), QString("1(MONO)"));
}

void TestTakeImport::channelIndexOutOfRangeAddsNoRow_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("64") << 64;
    QTest::newRow("1000") << 1000;
    QTest::newRow("negative") << -1;
}

void TestTakeImport::channelIndexOutOfRangeAddsNoRow()
{
    QFETCH(int, index);
    QTemporaryDir dir;
    TakeShape s;
    s.channelIndex = index;
    QVERIFY(TakeFileMaker::write(dir.filePath("T0011_1.WAV"), s));
    AudioFileModel model;
    QList<AudioFileModel::ImportResult> results;
    model.setModelData(*m_cache, openAll({dir.filePath("T0011_1.WAV")}), &results);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).outcome, Outcome::NotGrouped);
}

void TestTakeImport::fileGivenTwiceBringsNoStrayTake()
{
    // Three files claim channel 62: the take gets slots 62 and 63, the third
    // file is left over. Giving the first file again must not make a take
    // of the left-over file listed under the first file's path.
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 1; i <= 3; ++i) {
        TakeShape s;
        s.channelIndex = 62;
        paths << dir.filePath(QString("A_%1.wav").arg(i));
        QVERIFY(TakeFileMaker::write(paths.last(), s));
    }
    AudioFileModel model;
    QList<AudioFileModel::ImportResult> results;
    model.setModelData(*m_cache, openAll({paths.at(0), paths.at(0), paths.at(2)}), &results);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(results.at(0).takeFiles, paths.mid(0, 2));
    QCOMPARE(results.at(1).outcome, Outcome::Claimed);
    QCOMPARE(results.at(2).outcome, Outcome::Added);
    QCOMPARE(cell(model, 1, 0), QString("A_3.wav"));
    QCOMPARE(cell(model, 1, 30), paths.at(2));
}

void TestTakeImport::runsOfFoldersStartAfresh()
{
    QTemporaryDir a;
    QTemporaryDir b;
    const QStringList inA = TakeFileMaker::writeMonoTake(a.path(), "X", 2);
    const QStringList inB = TakeFileMaker::writeMonoTake(b.path(), "Y", 2);
    AudioFileModel model;
    QList<AudioFileModel::ImportResult> results;
    model.setModelData(*m_cache, openAll({inA.at(0), inB.at(0), inA.at(1)}), &results);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(results.at(0).outcome, Outcome::Added);
    QCOMPARE(results.at(1).outcome, Outcome::Added);
    // Back in the first folder, the pool is fresh: the take is found again
    // and skipped as already listed.
    QCOMPARE(results.at(2).outcome, Outcome::Duplicate);
    QCOMPARE(results.at(2).takeFiles, inA);
}

void TestTakeImport::dateAndTimeFallBackToTheFile()
{
    QTemporaryDir dir;
    TakeShape s;
    s.originationDate.clear();
    s.originationTime.clear();
    QVERIFY(TakeFileMaker::write(dir.filePath("D_1.wav"), s));
    AudioFileModel model;
    model.setModelData(*m_cache, openAll({dir.filePath("D_1.wav")}));
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(QRegularExpression("^\\d{4}-\\d{2}-\\d{2}$").match(cell(model, 0, 12)).hasMatch());
    QVERIFY(QRegularExpression("^\\d{2}-\\d{2}-\\d{2}$").match(cell(model, 0, 13)).hasMatch());
}

void TestTakeImport::getTracksFollowsTheTakeOrder()
{
    QTemporaryDir dir;
    const QStringList paths = TakeFileMaker::writeMonoTake(dir.path(), "G", 3);
    const QList<QStringList> tracks =
        AudioFileModel::getTracks({paths.at(2), dir.filePath("gone.wav"), paths.at(0)});
    QCOMPARE(tracks.size(), 2);
    QCOMPARE(tracks.at(0).at(2), QString("Track 3"));
    QCOMPARE(tracks.at(1).at(2), QString("Track 1"));
    QVERIFY(!QFile::exists(dir.filePath("gone.wav")));
}

QTEST_GUILESS_MAIN(TestTakeImport)
#include "tst_takeimport.moc"

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFileMaker.h"
#include "TakeImporter.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TakeColumns;

// Reading and grouping takes on a worker thread, and adding them to the list.
class TestTakeImporter : public QObject
{
    Q_OBJECT

private:
    static QVector<StagedTake> runImport(TakeImporter& importer, const QStringList& paths)
    {
        QSignalSpy done(&importer, &TakeImporter::finished);
        TakeImporter::Request request;
        request.paths = paths;
        request.origin = TakeImporter::Origin::Drop;
        if (!importer.start(request) || !done.wait(60000))
            return {};
        return importer.takeResult();
    }

private slots:
    void expandListsFoldersOneLevel();
    void rowsMatchTheOpenRecords_data();
    void rowsMatchTheOpenRecords();
    void missingAndForeignFilesAreRejectedNeverCreated();
    void oneImportAtATime();
    void cancelledImportBringsNothing();
    void addToSkipsListedAndVanishedTakes();
};

void TestTakeImporter::expandListsFoldersOneLevel()
{
    QTemporaryDir dir;
    QStringList top = TakeFileMaker::writeDemoTakes(dir.path(), 2);
    QVERIFY(QDir().mkpath(dir.filePath("sub")));
    QCOMPARE(TakeFileMaker::writeDemoTakes(dir.filePath("sub"), 1, 4, 5).size(), 1);
    const QString note = dir.filePath("notes.txt");
    QVERIFY(TestUtil::writeFile(note, "x"));

    TakeImporter::Request r;
    r.paths = {dir.path()};
    r.origin = TakeImporter::Origin::Drop;
    QStringList files = TakeImporter::expand(r);
    files.sort();
    top.sort();
    QCOMPARE(files, top);
    // A file chooser gives files by name: a folder and a name without a take
    // suffix bring nothing. A dropped file is read whatever its name.
    r.origin = TakeImporter::Origin::Dialog;
    r.paths = {dir.path(), note};
    QVERIFY(TakeImporter::expand(r).isEmpty());
    r.origin = TakeImporter::Origin::Drop;
    r.paths = {note};
    QCOMPARE(TakeImporter::expand(r), QStringList{note});
}

// The importer keeps only a digest of each file it read; the rows it stages
// must be those built from the open records: the "_X" rule of the current
// name, the label, the other cells, the side tables (tracks of every file in
// channel order, the rest from the first file given) and the damage text.
void TestTakeImporter::rowsMatchTheOpenRecords_data()
{
    QTest::addColumn<int>("channels"); // 1: a mono take of `files` files
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("recordedName");
    QTest::addColumn<int>("chopFirst"); // bytes cut from the first file
    QTest::addColumn<int>("chopLast");  // bytes cut from the last file
    QTest::addColumn<bool>("dated");    // false: no date or time, the file's are shown
    QTest::newRow("poly") << 4 << 1 << "S12_T3.WAV" << 0 << 0 << true;
    QTest::newRow("mono group, recorded name") << 1 << 3 << "S12_T3_1.WAV" << 0 << 0 << true;
    QTest::newRow("mono, two damaged") << 1 << 3 << "" << 100 << 7 << true;
    QTest::newRow("poly, damaged") << 2 << 1 << "" << 100 << 0 << true;
    QTest::newRow("lone mono file, no date or time") << 1 << 1 << "" << 0 << 0 << false;
}

void TestTakeImporter::rowsMatchTheOpenRecords()
{
    QFETCH(int, channels);
    QFETCH(int, files);
    QFETCH(QString, recordedName);
    QFETCH(int, chopFirst);
    QFETCH(int, chopLast);
    QFETCH(bool, dated);
    QTemporaryDir dir;
    TakeShape shape;
    shape.channels = channels;
    shape.recordedName = recordedName;
    if (!dated)
        shape.originationDate = shape.originationTime = QString();
    QStringList paths{dir.filePath("T0001.WAV")};
    if (channels > 1)
        QVERIFY(TakeFileMaker::write(paths.first(), shape));
    else
        paths = TakeFileMaker::writeMonoTake(dir.path(), "T0001", files, shape);
    QCOMPARE(paths.size(), files);
    for (const auto& [index, chop] : {std::pair{0, chopFirst}, std::pair{files - 1, chopLast}}) {
        QFile f(paths.at(index));
        QVERIFY(chop == 0 || f.resize(f.size() - chop));
    }

    TakeImporter::Request request;
    request.paths = paths;
    request.origin = TakeImporter::Origin::Drop;
    const TakeImporter::Outcome outcome = TakeImporter::read(request);

    QVERIFY(!outcome.takes.isEmpty());
    QStringList listed;
    bool damaged = false;
    for (const StagedTake& t : outcome.takes) {
        listed << t.files;
        AudioFile first;
        QVERIFY(first.Open(t.cells.at(TakeColumns::Path)));
        const int count = int(t.files.size());
        const QString name = KQHelper::takeName(QFileInfo(first.fileName()).fileName(), count);
        QCOMPARE(t.cells, TakeColumns::cells(first, name, count));
        QCOMPARE(t.tracks, AudioFileModel::getTracks(t.files));
        QCOMPARE(t.syncPoints, first.GetSyncPointsInfo());
        QCOMPARE(t.fileSet, first.GetFileSetInfo());
        QCOMPARE(t.history, first.GetHistoryInfo());
        if (count == 1)
            QCOMPARE(t.damage, first.m_info.damage);
        else // one "name: damage" line per damaged file
            QVERIFY(t.damage.isEmpty() || t.damage.contains(": "));
        damaged = damaged || !t.damage.isEmpty();
    }
    QCOMPARE(listed, paths);
    QCOMPARE(damaged, chopFirst != 0 || chopLast != 0);
    if (!dated) {
        const QStringList& cells = outcome.takes.at(0).cells;
        QVERIFY(QRegularExpression("^\\d{4}-\\d{2}-\\d{2}$").match(cells.at(12)).hasMatch());
        QVERIFY(QRegularExpression("^\\d{2}-\\d{2}-\\d{2}$").match(cells.at(13)).hasMatch());
    }
}

void TestTakeImporter::missingAndForeignFilesAreRejectedNeverCreated()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.WAV");
    const QString text = dir.filePath("text.wav");
    QVERIFY(TestUtil::writeFile(text, "this is not a take"));
    TakeImporter importer;
    QVERIFY(runImport(importer, {missing, text}).isEmpty());
    QCOMPARE(importer.filesRejected(), 2);
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(TestUtil::readFile(text), QByteArray("this is not a take"));
}

void TestTakeImporter::oneImportAtATime()
{
    QTemporaryDir dir;
    const QStringList files = TakeFileMaker::writeDemoTakes(dir.path(), 2);
    TakeImporter importer;
    QSignalSpy done(&importer, &TakeImporter::finished);
    TakeImporter::Request r;
    r.paths = files;
    QVERIFY(importer.start(r));
    QVERIFY(importer.isRunning());
    QVERIFY(!importer.start(r));
    QVERIFY(done.wait(60000));
    QVERIFY(!importer.isRunning());
    QCOMPARE(importer.takeResult().size(), 2);
}

void TestTakeImporter::cancelledImportBringsNothing()
{
    QTemporaryDir dir;
    const QStringList files = TakeFileMaker::writeDemoTakes(dir.path(), 6);
    TakeImporter importer;
    QSignalSpy done(&importer, &TakeImporter::finished);
    TakeImporter::Request r;
    r.paths = files;
    QVERIFY(importer.start(r));
    importer.cancel();
    QVERIFY(done.wait(60000));
    QVERIFY(importer.wasCancelled());
    QVERIFY(importer.takeResult().isEmpty());
    // A destroyed importer stops and waits for its worker.
    {
        TakeImporter short_lived;
        QVERIFY(short_lived.start(r));
    }
}

void TestTakeImporter::addToSkipsListedAndVanishedTakes()
{
    QTemporaryDir dir;
    const QStringList files = TakeFileMaker::writeDemoTakes(dir.path(), 3);
    TakeImporter importer;
    const QVector<StagedTake> takes = runImport(importer, files);
    QCOMPARE(takes.size(), 3);
    AudioFileModel model;
    // A take whose file went away while the import ran is not listed.
    QVERIFY(QFile::remove(files.last()));
    QCOMPARE(TakeImporter::addTo(model, takes), 2);
    QCOMPARE(TakeImporter::addTo(model, takes), 0);
    QCOMPARE(model.rowCount(), 2);
}

QTEST_GUILESS_MAIN(TestTakeImporter)
#include "tst_takeimporter.moc"

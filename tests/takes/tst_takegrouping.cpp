#include "AudioFile.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeFileMaker.h"
#include "TakeFolderCache.h"
#include "TakeImporter.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

// "NAME key=value ..." with keys ch, idx, ts, frames, rate, notracks.
bool writeFromLine(const QString& folder, const QString& line)
{
    const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
    TakeShape s;
    for (int i = 1; i < parts.size(); ++i) {
        const QString key = parts.at(i).section('=', 0, 0);
        const QString value = parts.at(i).section('=', 1);
        if (key == "ch")
            s.channels = value.toInt();
        else if (key == "idx")
            s.channelIndex = value.toInt();
        else if (key == "ts")
            s.timestamp = value.toULongLong();
        else if (key == "frames")
            s.frames = value.toInt();
        else if (key == "rate")
            s.sampleRate = value.toInt();
        else if (key == "notracks")
            s.trackList = false;
        else if (key == "noixml")
            s.ixml = false;
        else if (key == "trk")
            s.bextTracks = QStringList{value};
    }
    const QString path = QDir(folder).filePath(parts.at(0));
    return QDir().mkpath(QFileInfo(path).path()) && TakeFileMaker::write(path, s);
}

QStringList bareNames(const QStringList& paths)
{
    QStringList out;
    for (const QString& p : paths)
        out << QFileInfo(p).fileName();
    return out;
}

// The takes an import of paths (in order) stages, as "name=file,file".
QStringList importedTakes(const QStringList& paths, TakeImporter::Outcome* outcome = nullptr)
{
    TakeImporter::Request request;
    request.paths = paths;
    request.origin = TakeImporter::Origin::Drop;
    const TakeImporter::Outcome o = TakeImporter::read(request);
    QStringList takes;
    for (const StagedTake& t : o.takes)
        takes << t.cells.at(TakeColumns::FileName) + "=" + bareNames(t.files).join(',');
    if (outcome)
        *outcome = o;
    return takes;
}

std::unique_ptr<AudioFile> open(const QString& path)
{
    auto f = std::make_unique<AudioFile>();
    if (!f->Open(path))
        return nullptr;
    return f;
}

} // namespace

class TestTakeGrouping : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TakeFolderCache> m_cache; // a fresh one per test

private slots:
    void init();
    void nameStem_data();
    void nameStem();
    void takeName_data();
    void takeName();
    void takeFileNamesFiltersAndSorts();
    void grouping_data();
    void grouping();
    void nullAndPathlessFilesYieldNothing();
    void fileOutsideTheListingStillJoinsItsTake();
    void symbolicLinksAreGroupedAlikeEverywhere();
    void missingFilesAreNeverCreated();
};

void TestTakeGrouping::init()
{
    m_cache = std::make_unique<TakeFolderCache>();
}

void TestTakeGrouping::nameStem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stem");
    const struct {
        const char *tag, *name, *stem;
    } cases[] = {
        {"neither", "T012", "T012"},
        {"last underscore", "Scene_1_2AG-T001_Tr1.WAV", "Scene_1_2AG-T001"},
        {"mix beside tracks", "Scene_1_2AG-T001.WAV", "Scene_1"},
        {"leading underscore", "_1.wav", ""},
        {"trailing underscore", "T1_", "T1"},
    };
    for (const auto& c : cases)
        QTest::newRow(c.tag) << QString(c.name) << QString(c.stem);
}

void TestTakeGrouping::nameStem()
{
    QFETCH(QString, name);
    QFETCH(QString, stem);
    QCOMPARE(KQHelper::nameStem(name), stem);
}

void TestTakeGrouping::takeName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("group") << "T012_3.wav" << 4 << "T012_X.wav";
    QTest::newRow("one file keeps its name") << "T012_3.wav" << 1 << "T012_3.wav";
    QTest::newRow("no underscore") << "T012.wav" << 2 << "T012.wav";
    QTest::newRow("no extension") << "T012_3" << 2 << "T012_X";
    QTest::newRow("dot before the track part") << "Sc1.2_T3_4.wav" << 2 << "Sc1.2_T3_X.wav";
    QTest::newRow("other recorder") << "Scene_1_2AG-T001_Tr1.WAV" << 8 << "Scene_1_2AG-T001_X.WAV";
    QTest::newRow("double extension") << "a_1.tar.wav" << 2 << "a_X.tar.wav";
}

void TestTakeGrouping::takeName()
{
    QFETCH(QString, name);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(KQHelper::takeName(name, count), expected);
}

void TestTakeGrouping::takeFileNamesFiltersAndSorts()
{
    QTemporaryDir dir;
    for (const char* n :
         {"b_1.wav", "B_2.WAV", "a.bwf", "c.BWF", "d.Wav", "e.flac", ".hidden_1.wav", "notes.txt"})
        QVERIFY(TestUtil::writeFile(dir.filePath(n), "x"));
    QVERIFY(QDir(dir.path()).mkdir("sub.wav"));
    // Links are followed to files only.
    QVERIFY(QFile::link(dir.filePath("notes.txt"), dir.filePath("to_file.wav")));
    QVERIFY(QFile::link(dir.filePath("sub.wav"), dir.filePath("to_folder.wav")));
    QVERIFY(QFile::link(dir.filePath("gone.txt"), dir.filePath("broken.wav")));
    QCOMPARE(KQHelper::takeFileNames(dir.path()),
             (QStringList{"B_2.WAV", "a.bwf", "b_1.wav", "c.BWF", "d.Wav", "to_file.wav"}));
    QVERIFY(KQHelper::takeFileNames(dir.filePath("missing")).isEmpty());
    QVERIFY(KQHelper::takeFileNames(QString()).isEmpty());
}

// Each row: the files of a folder ("name key=value ..." joined by "|"), the
// files an import is given (in order), and the takes it lists ("take
// name=its files in channel order", space-separated).
void TestTakeGrouping::grouping_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QStringList>("takes");
    const struct {
        const char *tag, *files, *given, *takes;
    } cases[] = {
        {"channel order, not name order",
         "T012_1.wav idx=3|T012_2.wav idx=1|T012_3.wav idx=4|T012_4.wav idx=2", "T012_1.wav",
         "T012_X.wav=T012_2.wav,T012_4.wav,T012_1.wav,T012_3.wav"},
        {"all files given in reverse: one take, found through the first given",
         "A_1.wav idx=1|A_2.wav idx=2|A_3.wav idx=3", "A_3.wav A_2.wav A_1.wav",
         "A_X.wav=A_1.wav,A_2.wav,A_3.wav"},
        {"no underscore groups by stem", "T012.wav idx=1|T012_2.wav idx=2", "T012.wav",
         "T012.wav=T012.wav,T012_2.wav"},
        {"different timestamps are two takes", "A_1.wav idx=1 ts=0|A_2.wav idx=2 ts=48000",
         "A_1.wav A_2.wav", "A_1.wav=A_1.wav A_2.wav=A_2.wav"},
        {"different lengths are two takes", "A_1.wav idx=1 frames=480|A_2.wav idx=2 frames=481",
         "A_2.wav", "A_2.wav=A_2.wav"},
        {"different rates are two takes", "A_1.wav idx=1 rate=48000|A_2.wav idx=2 rate=96000",
         "A_1.wav", "A_1.wav=A_1.wav"},
        {"same channel index takes the next free slot", "A_1.wav idx=2|A_2.wav idx=2|A_3.wav idx=3",
         "A_3.wav", "A_X.wav=A_1.wav,A_2.wav,A_3.wav"},
        {"channel index 64 is in no take, not even its own", "A_1.wav idx=64", "A_1.wav", ""},
        {"channel index 64 beside a sibling", "A_1.wav idx=1|A_2.wav idx=64", "A_1.wav A_2.wav",
         "A_1.wav=A_1.wav"},
        {"negative channel index is in no take", "A_1.wav idx=-1|A_2.wav idx=1", "A_2.wav A_1.wav",
         "A_2.wav=A_2.wav"},
        {"slot 63 taken, the second 63 is left out", "A_1.wav idx=63|A_2.wav idx=63", "A_1.wav",
         "A_1.wav=A_1.wav"},
        // The left-over file of a full take, given after the take's first
        // file twice, is a take of its own, never listed under the first.
        {"file given twice brings no stray take", "A_1.wav idx=62|A_2.wav idx=62|A_3.wav idx=62",
         "A_1.wav A_1.wav A_3.wav", "A_X.wav=A_1.wav,A_2.wav A_3.wav=A_3.wav"},
        {"a file pushed out of a full take is a take of its own",
         "A_1.wav idx=62|A_2.wav idx=62|A_3.wav idx=62", "A_3.wav", "A_3.wav=A_3.wav"},
        {"channel index 0 is a slot", "A_1.wav idx=0|A_2.wav idx=1", "A_2.wav",
         "A_X.wav=A_1.wav,A_2.wav"},
        {"polyphonic file is a take by itself", "P_1.wav ch=8|P_2.wav idx=2", "P_1.wav P_2.wav",
         "P_1.wav=P_1.wav P_2.wav=P_2.wav"},
        {"polyphonic sibling never joins a mono take", "M_1.wav idx=1|M_2.wav ch=2", "M_1.wav",
         "M_1.wav=M_1.wav"},
        {"stems compare with letter case", "t1_1.wav idx=1|T1_2.wav idx=2", "t1_1.wav",
         "t1_1.wav=t1_1.wav"},
        {"names differing only in case are listed once", "take_1.wav idx=1|TAKE_1.WAV idx=1",
         "take_1.wav TAKE_1.WAV", "take_1.wav=take_1.wav"},
        // Back in the first folder the pool is fresh: its take is found
        // again and left out as already listed.
        {"runs of folders start afresh",
         "a/X_1.wav idx=1|a/X_2.wav idx=2|b/Y_1.wav idx=1|b/Y_2.wav idx=2",
         "a/X_1.wav b/Y_2.wav a/X_2.wav", "X_X.wav=X_1.wav,X_2.wav Y_X.wav=Y_1.wav,Y_2.wav"},
        {"other suffixes and hidden files are not candidates",
         "A_1.wav idx=1|A_2.flac idx=2|.A_3.wav idx=3|A_4.BWF idx=4", "A_1.wav",
         "A_X.wav=A_1.wav,A_4.BWF"},
        // Tracks of another recorder, named by bext TRK entries only (every
        // file then reports channel index 1), beside a stereo mix.
        {"tracks by bext only, with a stereo mix",
         "S_1_T1_Tr1.WAV notracks trk=Boom|S_1_T1_Tr2.WAV notracks trk=Lav1|"
         "S_1_T1.WAV ch=2 notracks",
         "S_1_T1_Tr2.WAV", "S_1_T1_X.WAV=S_1_T1_Tr1.WAV,S_1_T1_Tr2.WAV"},
        {"no iXML, no track entries", "S-2C-01_01.WAV noixml|S-2C-01_02.WAV noixml",
         "S-2C-01_02.WAV", "S-2C-01_X.WAV=S-2C-01_01.WAV,S-2C-01_02.WAV"},
    };
    for (const auto& c : cases) {
        QTest::newRow(c.tag) << QString(c.files).split('|') << QString(c.given)
                             << QString(c.takes).split(' ', Qt::SkipEmptyParts);
    }
}

void TestTakeGrouping::grouping()
{
    QFETCH(QStringList, files);
    QFETCH(QString, given);
    QFETCH(QStringList, takes);

    QTemporaryDir dir;
    for (const QString& line : files)
        QVERIFY(writeFromLine(dir.path(), line));
    QStringList paths;
    for (const QString& name : given.split(' '))
        paths << dir.filePath(name);

    TakeImporter::Outcome outcome;
    QCOMPARE(importedTakes(paths, &outcome), takes);
    for (const StagedTake& t : outcome.takes) {
        // Listed under the first file given of it.
        const QString path = t.cells.at(TakeColumns::Path);
        const auto first = std::find_if(paths.begin(), paths.end(), [&](const QString& p) {
            return t.files.contains(KQHelper::absolutePath(p));
        });
        QVERIFY(first != paths.end());
        QCOMPARE(path, KQHelper::absolutePath(*first));
        // Save, rename, copy and delete find the same files from it.
        auto file = open(path);
        QVERIFY(file);
        QStringList found;
        QString name;
        KQHelper::getTakeFiles(*m_cache, file.get(), found, name);
        QCOMPARE(found << name, t.files + QStringList{t.cells.at(TakeColumns::FileName)});
    }
    if (takes.isEmpty()) {
        QCOMPARE(outcome.rejected.size(), paths.size());
        QCOMPARE(outcome.rejected.at(0).reason, ImportRejection::Reason::NotGrouped);
    }
}

void TestTakeGrouping::nullAndPathlessFilesYieldNothing()
{
    QStringList takeFiles{"keep"};
    QString name = "keep";
    KQHelper::getTakeFiles(*m_cache, nullptr, takeFiles, name);
    AudioFile empty;
    KQHelper::getTakeFiles(*m_cache, &empty, takeFiles, name);
    QCOMPARE(takeFiles, QStringList{"keep"});
    QCOMPARE(name, QString("keep"));
}

void TestTakeGrouping::fileOutsideTheListingStillJoinsItsTake()
{
    // A take opened through a name the listing leaves out (another suffix)
    // still contains that file, at its channel slot.
    QTemporaryDir dir;
    QVERIFY(writeFromLine(dir.path(), "A_1.wav idx=1"));
    QVERIFY(writeFromLine(dir.path(), "A_2.wave idx=2"));
    auto file = open(dir.filePath("A_2.wave"));
    QVERIFY(file);
    QStringList takeFiles;
    QString name;
    KQHelper::getTakeFiles(*m_cache, file.get(), takeFiles, name);
    QCOMPARE(bareNames(takeFiles), (QStringList{"A_1.wav", "A_2.wave"}));
    QCOMPARE(name, QString("A_X.wave"));
}

void TestTakeGrouping::symbolicLinksAreGroupedAlikeEverywhere()
{
    QTemporaryDir store;
    QTemporaryDir dir;
    QVERIFY(writeFromLine(store.path(), "S_2.wav idx=2"));
    QVERIFY(writeFromLine(dir.path(), "S_1.wav idx=1"));
    QVERIFY(QFile::link(store.filePath("S_2.wav"), dir.filePath("S_2.wav")));
    auto file = open(dir.filePath("S_1.wav"));
    QVERIFY(file);

    TakeImporter::Outcome outcome;
    importedTakes({file->fileName()}, &outcome);
    QCOMPARE(outcome.takes.size(), 1);
    QStringList found;
    QString name;
    KQHelper::getTakeFiles(*m_cache, file.get(), found, name);
    // Save, rename, copy and delete must reach the files the import grouped.
    QCOMPARE(found, outcome.takes.at(0).files);
    QCOMPARE(bareNames(found), (QStringList{"S_1.wav", "S_2.wav"}));
}

void TestTakeGrouping::missingFilesAreNeverCreated()
{
    QTemporaryDir dir;
    QVERIFY(writeFromLine(dir.path(), "G_1.wav idx=1"));
    QVERIFY(writeFromLine(dir.path(), "G_2.wav idx=2"));
    auto file = open(dir.filePath("G_1.wav"));
    QVERIFY(file);
    QStringList takeFiles;
    QString name;
    KQHelper::getTakeFiles(*m_cache, file.get(), takeFiles, name); // index the folder
    QVERIFY(QFile::remove(dir.filePath("G_1.wav")));
    QVERIFY(QFile::remove(dir.filePath("G_2.wav")));
    takeFiles.clear();
    KQHelper::getTakeFiles(*m_cache, file.get(), takeFiles, name);
    QVERIFY(takeFiles.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("G_1.wav")));
    QVERIFY(!QFile::exists(dir.filePath("G_2.wav")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
}

QTEST_GUILESS_MAIN(TestTakeGrouping)
#include "tst_takegrouping.moc"

#include "AudioFile.h"
#include "KQHelper.h"
#include "TakeFileMaker.h"
#include "TakeFileStamp.h"
#include "TakeFolderCache.h"
#include "TakeImporter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>
#include <vector>

// The folder index behind take grouping: headers are read once and reused
// while the files are unchanged, and every change on disk is still seen.
class TestTakeFolderIndex : public QObject
{
    Q_OBJECT

private:
    static constexpr int kTakes = 10; // 80 files: enough to read several at a time
    static constexpr int kTracks = 8;
    QTemporaryDir m_dir;
    QStringList m_all; // every file, name order

    std::shared_ptr<TakeFolderCache> m_cache;

    TakeFolderCache& cache() const { return *m_cache; }
    QStringList takeOf(const QString& path) const;
    // Rewrites file `index` of a take written by writeMonoTake with another
    // start of as many digits: the size stays, the take it belongs to not.
    static bool moveStart(const QString& path, int index, quint64 timestamp)
    {
        TakeShape s;
        s.timestamp = timestamp;
        s.channelIndex = index;
        s.trackName = QString("Track %1").arg(index);
        s.recordedName = QFileInfo(path).fileName();
        return TakeFileMaker::write(path, s);
    }
    quint64 reads() const { return cache().counters().headerReads; }
    quint64 listings() const { return cache().counters().listings; }
    // The takes an import of paths stages, through this cache.
    QVector<StagedTake> import(const QStringList& paths) const
    {
        TakeImporter::Request request;
        request.paths = paths;
        request.cache = m_cache;
        return TakeImporter::read(request).takes;
    }

private slots:
    void initTestCase();
    void init();
    void importOfOpenedFilesReadsNothingAgain();
    void changedSizeIsReadAgain();
    void sameSizeRewriteIsSeen();
    void addedRemovedAndRenamedFilesAreSeen();
    void untrustedIndexRereadsEveryCall();
    void concurrentCallersAgree();
    void fileChangedAfterItsOpenIsReadAgain();
    void pathsAreMadeAbsoluteAndClean_data();
    void pathsAreMadeAbsoluteAndClean();
};

void TestTakeFolderIndex::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int t = 1; t <= kTakes; ++t) {
        TakeShape s;
        s.timestamp = quint64(t) * 480000;
        const QStringList files = TakeFileMaker::writeMonoTake(
            m_dir.path(), QString("T%1").arg(t, 4, 10, QChar('0')), kTracks, s);
        QCOMPARE(files.size(), kTracks);
        m_all << files;
    }
}

void TestTakeFolderIndex::init()
{
    m_cache = std::make_shared<TakeFolderCache>();
    cache().setTrust(TakeIndexPolicy::Trust::Always);
}

QStringList TestTakeFolderIndex::takeOf(const QString& path) const
{
    AudioFile f;
    if (!f.Open(path))
        return {"<does not open>"};
    QStringList files;
    QString name;
    KQHelper::getTakeFiles(cache(), &f, files, name);
    return files;
}

void TestTakeFolderIndex::importOfOpenedFilesReadsNothingAgain()
{
    const QVector<StagedTake> takes = import(m_all);
    QCOMPARE(takes.size(), kTakes);
    QCOMPARE(reads(), quint64(0));
    // The operations that follow an import reuse what it read.
    for (int t = 0; t < kTakes; ++t)
        QCOMPARE(takeOf(takes.at(t).cells.at(30)), m_all.mid(t * kTracks, kTracks));
    QCOMPARE(reads(), quint64(0));
    QCOMPARE(listings(), quint64(1));
}

void TestTakeFolderIndex::changedSizeIsReadAgain()
{
    QTemporaryDir dir;
    const QStringList files = TakeFileMaker::writeMonoTake(dir.path(), "C", 3);
    QCOMPARE(takeOf(files.at(0)), files);
    const quint64 before = reads();
    // One file gets longer: it no longer belongs to the take.
    TakeShape longer;
    longer.channelIndex = 3;
    longer.frames = 960;
    QVERIFY(TakeFileMaker::write(files.at(2), longer));
    QCOMPARE(takeOf(files.at(0)), files.mid(0, 2));
    QCOMPARE(reads(), before + 1);
}

void TestTakeFolderIndex::sameSizeRewriteIsSeen()
{
    // A rewrite that keeps the size (a new start timestamp with as many
    // digits), right after the folder was indexed: the automatic trust rule
    // must not take the old header for the new one.
    cache().setTrust(TakeIndexPolicy::Trust::Auto);
    QTemporaryDir dir;
    TakeShape s;
    s.timestamp = 1000000;
    const QStringList files = TakeFileMaker::writeMonoTake(dir.path(), "R", 2, s);
    QCOMPARE(takeOf(files.at(0)), files);
    const qint64 size = QFileInfo(files.at(1)).size();
    QVERIFY(moveStart(files.at(1), 2, 2000000));
    QCOMPARE(QFileInfo(files.at(1)).size(), size);
    QCOMPARE(takeOf(files.at(0)), files.mid(0, 1));
    QCOMPARE(takeOf(files.at(1)), files.mid(1, 1));
}

void TestTakeFolderIndex::addedRemovedAndRenamedFilesAreSeen()
{
    QTemporaryDir dir;
    QStringList files = TakeFileMaker::writeMonoTake(dir.path(), "N", 3);
    QCOMPARE(takeOf(files.at(0)), files);
    const quint64 readsBefore = reads();
    const quint64 listingsBefore = listings();

    TakeShape fourth;
    fourth.channelIndex = 4;
    const QString added = dir.filePath("N_4.WAV");
    QVERIFY(TakeFileMaker::write(added, fourth));
    QCOMPARE(takeOf(files.at(0)), files + QStringList{added});
    QCOMPARE(reads(), readsBefore + 1); // only the new file
    QCOMPARE(listings(), listingsBefore + 1);

    QVERIFY(QFile::remove(files.at(1)));
    QCOMPARE(takeOf(files.at(0)), (QStringList{files.at(0), files.at(2), added}));

    const QString renamed = dir.filePath("M_3.WAV");
    QVERIFY(QFile::rename(files.at(2), renamed));
    QCOMPARE(takeOf(files.at(0)), (QStringList{files.at(0), added}));
    QCOMPARE(takeOf(renamed), QStringList{renamed});
}

void TestTakeFolderIndex::untrustedIndexRereadsEveryCall()
{
    cache().setTrust(TakeIndexPolicy::Trust::Never);
    QCOMPARE(takeOf(m_all.at(0)), m_all.mid(0, kTracks));
    QCOMPARE(takeOf(m_all.at(0)), m_all.mid(0, kTracks));
    // Each call reads the take's own files again, never the whole folder.
    QCOMPARE(reads(), quint64(2 * kTracks));
    QCOMPARE(listings(), quint64(2));
}

void TestTakeFolderIndex::concurrentCallersAgree()
{
    cache().setTrust(TakeIndexPolicy::Trust::Auto);
    QVector<QStringList> results(4 * kTakes);
    std::vector<std::thread> threads;
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([&, w] {
            for (int t = 0; t < kTakes; ++t)
                results[w * kTakes + t] = takeOf(m_all.at(t * kTracks + w));
        });
    }
    for (auto& th : threads)
        th.join();
    for (int w = 0; w < 4; ++w) {
        for (int t = 0; t < kTakes; ++t)
            QCOMPARE(results.at(w * kTakes + t), m_all.mid(t * kTracks, kTracks));
    }
}

void TestTakeFolderIndex::fileChangedAfterItsOpenIsReadAgain()
{
    // An import takes over what it opened, stamped as it was when opened: a
    // rewrite between the open and the grouping (same size, another start)
    // is read at the next operation instead of being trusted.
    QTemporaryDir dir;
    TakeShape s;
    s.timestamp = 1000000;
    const QStringList files = TakeFileMaker::writeMonoTake(dir.path(), "A", 2, s);
    auto first = std::make_unique<AudioFile>();
    QVERIFY(first->Open(files.at(1)));
    QVERIFY(moveStart(files.at(1), 2, 2000000));
    const TakeFolderSnapshot snapshot =
        cache().snapshot(KQHelper::folderOf(files.at(1)), {TakeFolderIndex::entryOf(*first)},
                         TakeFileStamp::nowNs());
    QCOMPARE(snapshot.entries.size(), 2);
    const quint64 before = reads();
    QCOMPARE(takeOf(files.at(0)), files.mid(0, 1));
    QCOMPARE(reads(), before + 1);
}

void TestTakeFolderIndex::pathsAreMadeAbsoluteAndClean_data()
{
    QTest::addColumn<QString>("path");
    const QString cwd = QDir::currentPath();
    for (const QString& p : {QString("/a//b.wav"), QString("/a/./b.wav"), QString("/a/../b.wav"),
                             QString("/a/b/"), QString("/.."), QString("/a/..b/.c.wav"),
                             QString("rel/x.wav"), QString("/"), cwd + "/T1.WAV"})
        QTest::newRow(qPrintable(p)) << p;
}

void TestTakeFolderIndex::pathsAreMadeAbsoluteAndClean()
{
    QFETCH(QString, path);
    QCOMPARE(KQHelper::absolutePath(path), QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QCOMPARE(KQHelper::folderOf(path), QDir::cleanPath(QFileInfo(path).absolutePath()));
}

QTEST_GUILESS_MAIN(TestTakeFolderIndex)
#include "tst_takefolderindex.moc"

#include "TakeFileMaker.h"
#include "TakeFileRemover.h"
#include "TakeFolderCache.h"
#include "TakeLabel.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <unistd.h>

// Deleting a listed take's files: exactly its files, or nothing.
class TestTakeFileRemover : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir; // a fresh folder and cache per test
    std::unique_ptr<TakeFolderCache> m_cache;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    int fileCount() const { return int(QDir(m_dir->path()).entryList(QDir::Files).size()); }

private slots:
    void init();
    void labelsAnnounceTheirFileCount_data();
    void labelsAnnounceTheirFileCount();
    void polyTakeIsOneFile();
    void monoTakeIsAllItsFilesFromAnyOfThem();
    void changedTakeDeletesNothing_data();
    void changedTakeDeletesNothing();
    void fileThatIsNotATakeDeletesNothing();
    void undeletableFilesAreReported();
};

void TestTakeFileRemover::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_cache = std::make_unique<TakeFolderCache>();
    // T0001 and T0003 polyphonic, T0002 four mono files.
    QCOMPARE(TakeFileMaker::writeDemoTakes(m_dir->path(), 3).size(), 6);
}

void TestTakeFileRemover::labelsAnnounceTheirFileCount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("tracks");
    QTest::newRow("mono") << "4(MONO)" << 4 << 4;
    QTest::newRow("poly") << "8(POLY)" << 1 << 8;
    QTest::newRow("zero") << "0(MONO)" << 0 << 0;
    QTest::newRow("not a number") << "x(MONO)" << 0 << 0;
    QTest::newRow("no kind") << "4" << 0 << 0;
}

void TestTakeFileRemover::labelsAnnounceTheirFileCount()
{
    QFETCH(QString, text);
    QFETCH(int, files);
    QFETCH(int, tracks);
    const TakeLabel label = TakeLabel::parse(text);
    QCOMPARE(label.fileCount(), files);
    QCOMPARE(label.trackCount(), tracks);
    if (label.isValid())
        QCOMPARE(label.text(), text);
}

void TestTakeFileRemover::polyTakeIsOneFile()
{
    const auto r = TakeFileRemover::remove(*m_cache, path("T0001.WAV"), "4(POLY)");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::Deleted);
    QCOMPARE(r.deleted.size(), 1);
    QVERIFY(!QFile::exists(path("T0001.WAV")));
    QCOMPARE(fileCount(), 5);
}

void TestTakeFileRemover::monoTakeIsAllItsFilesFromAnyOfThem()
{
    TakeFileRemover::Outcome outcome;
    const QStringList files =
        TakeFileRemover::filesOf(*m_cache, path("T0002_3.WAV"), "4(MONO)", &outcome);
    QCOMPARE(outcome, TakeFileRemover::Outcome::Deleted);
    QCOMPARE(files.size(), 4);
    QCOMPARE(fileCount(), 6); // filesOf deletes nothing
    const auto r = TakeFileRemover::remove(*m_cache, path("T0002_3.WAV"), "4(MONO)");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::Deleted);
    QCOMPARE(r.deleted.size(), 4);
    for (int i = 1; i <= 4; ++i)
        QVERIFY(!QFile::exists(path(QString("T0002_%1.WAV").arg(i))));
    QCOMPARE(fileCount(), 2);
}

void TestTakeFileRemover::changedTakeDeletesNothing_data()
{
    QTest::addColumn<bool>("gained");
    QTest::newRow("gained a file") << true;
    QTest::newRow("lost a file") << false;
}

void TestTakeFileRemover::changedTakeDeletesNothing()
{
    QFETCH(bool, gained);
    QVERIFY(gained ? QFile::copy(path("T0002_4.WAV"), path("T0002_5.WAV"))
                   : QFile::remove(path("T0002_4.WAV")));
    const auto before = TestUtil::snapshot(m_dir->path());
    const auto r = TakeFileRemover::remove(*m_cache, path("T0002_1.WAV"), "4(MONO)");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::Changed);
    QVERIFY(r.deleted.isEmpty());
    QCOMPARE(TestUtil::snapshot(m_dir->path()), before);
}

void TestTakeFileRemover::fileThatIsNotATakeDeletesNothing()
{
    QFile text(path("T0004.WAV"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a take");
    text.close();
    auto r = TakeFileRemover::remove(*m_cache, path("T0004.WAV"), "2(POLY)");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::NotOpened);
    QVERIFY(QFile::exists(path("T0004.WAV")));
    r = TakeFileRemover::remove(*m_cache, path("gone.WAV"), "2(POLY)");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::NotOpened);
    QVERIFY(!QFile::exists(path("gone.WAV")));
    // A label that is neither mono nor poly deletes nothing.
    r = TakeFileRemover::remove(*m_cache, path("T0001.WAV"), "0File Name");
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::Changed);
    QVERIFY(QFile::exists(path("T0001.WAV")));
}

void TestTakeFileRemover::undeletableFilesAreReported()
{
    if (::geteuid() == 0)
        QSKIP("root may delete files from a read-only folder");
    QFile::Permissions before = QFile::permissions(m_dir->path());
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner));
    const auto r = TakeFileRemover::remove(*m_cache, path("T0001.WAV"), "4(POLY)");
    QFile::setPermissions(m_dir->path(), before);
    QCOMPARE(r.outcome, TakeFileRemover::Outcome::Failed);
    QCOMPARE(r.failed.size(), 1);
    QVERIFY(QFile::exists(path("T0001.WAV")));
}

QTEST_GUILESS_MAIN(TestTakeFileRemover)
#include "tst_takefileremover.moc"

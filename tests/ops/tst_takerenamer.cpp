#include "AudioFile.h"
#include "TakeLock.h"
#include "TakeRenamer.h"
#include "TakeSaver.h"
#include "TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// The rename service: names from scene and take, whole mono takes, renames
// by rewrite, and what stops them.
class TestTakeRenamer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString path(const QString& name) const { return m_tmp.filePath(name); }

    // A take file with scene and take set through the save service.
    QByteArray writeTake(const QString& name, const QString& scene, const QString& take,
                         int channels = 2, int firstChannel = 1)
    {
        TestTake shape;
        shape.channels = channels;
        shape.firstChannel = firstChannel;
        shape.family = QStringLiteral("USQRXFAMILY0000000000000000001");
        const QByteArray audio = TestUtil::writeTake(path(name), shape);
        TakeEdits e;
        e.scene = scene;
        e.take = take;
        const auto r = TakeSaver().run({path(name)}, e);
        if (r.size() != 1 || r.at(0).outcome == TakeBatch::Outcome::Failed)
            return QByteArray();
        return audio;
    }

    QStringList filesHere() const
    {
        return QDir(m_tmp.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

private slots:
    void init()
    {
        QDir(m_tmp.path()).removeRecursively();
        QDir().mkpath(m_tmp.path());
    }

    void namePartsAreMadeSafe_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("safe");
        const QString rows[][3] = {
            {"climb", "../../x", "___.._x"},
            {"backslash", "a\\b", "a_b"},
            {"nul", QString("a") + QChar(0) + "b", "a_b"},
            {"controls", "a\tb\nc\x7f", "a_b_c_"},
            {"hidden", ".x", "_x"},
            {"dots inside", "a..b", "a..b"},
        };
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[1] << r[2];
    }

    void namePartsAreMadeSafe()
    {
        QFETCH(QString, value);
        QFETCH(QString, safe);
        QCOMPARE(TakeRenamer::safeNamePart(value), safe);
    }

    // The channel suffix is kept only for a mono file with an extension (the
    // common cases run through the rename tests below and the CLI's).
    void namesFollowSceneAndTake_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("expected");
        QTest::newRow("poly with underscore") << "T003_2.WAV" << 2 << "12AT03.WAV";
        QTest::newRow("mono, no extension") << "T003_2" << 1 << "12AT03";
    }

    void namesFollowSceneAndTake()
    {
        QFETCH(QString, file);
        QFETCH(int, channels);
        QFETCH(QString, expected);
        QVERIFY(!writeTake("src.WAV", "12A", "3", channels).isEmpty());
        AudioFile f;
        QVERIFY(f.Open(path("src.WAV")));
        QCOMPARE(TakeRenamer::newFileName(f, "/d/" + file, {"Scene", "Take"}), expected);
    }

    // One name of a mono take that cannot be had stops the whole take before
    // its first file is renamed; the reason names that file.
    void aMonoTakeIsRenamedWholeOrNotAtAll_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("scene");
        QTest::addColumn<QString>("named"); // the file the reason names
        QTest::addColumn<QString>("taken"); // a file already there
        const QStringList four{"T003_1.WAV", "T003_2.WAV", "T003_3.WAV", "T003_4.WAV"};
        QStringList longLast = four;
        longLast.last() = "T003_4444.WAV";
        QTest::newRow("last file's name taken") << four << "12A" << four.last() << "12AT03_4.WAV";
        // 246 + "T03" + "_1.WAV" is 255 bytes; the last suffix is longer.
        QTest::newRow("last name too long")
            << longLast << QString(246, 'S') << longLast.last() << "";
        QTest::newRow("two files, one name") << QStringList{"T003_\\.WAV", "T003_\t.WAV"} << "12A"
                                             << "T003_\t.WAV"
                                             << "";
    }

    void aMonoTakeIsRenamedWholeOrNotAtAll()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, scene);
        QFETCH(QString, named);
        QFETCH(QString, taken);
        QStringList paths;
        for (int c = 1; c <= files.size(); ++c) {
            QVERIFY(!writeTake(files.at(c - 1), scene, "3", 1, c).isEmpty());
            paths << path(files.at(c - 1));
        }
        if (!taken.isEmpty())
            QVERIFY(TestUtil::writeFile(path(taken), "another take"));
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_tmp.path());
        const auto r = TakeRenamer().run(paths);
        QCOMPARE(r.size(), files.size());
        for (const TakeBatch::ItemResult& item : r) {
            QCOMPARE(item.outcome, TakeBatch::Outcome::Refused);
            QVERIFY2(item.reason.contains(named), qPrintable(item.reason));
        }
        QCOMPARE(TestUtil::snapshot(m_tmp.path()), before);
    }

    // A rename whose metadata does not fit is a full rewrite: the new file is
    // written under a partial name and gets the new name once complete. A
    // partial left by a cut run, a take another saver holds, and a symbolic
    // link (which the rewrite would turn into a file) stop it.
    void renameByRewrite_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("reason");
        const QString rows[][2] = {
            {"clean", ""},
            {"partial", "5T01.WAV.velmora-partial exists: an earlier rename did not finish"},
            {"locked", "T1.WAV is being saved by another process"},
            {"link", "T1.WAV is a symbolic link; renaming it needs a full rewrite"},
        };
        for (const auto& r : rows)
            QTest::newRow(qPrintable(r[0])) << r[0] << r[1];
    }

    void renameByRewrite()
    {
        QFETCH(QString, situation);
        QFETCH(QString, reason);
        TestTake shape;
        shape.metadata = false;
        shape.ixml = "<BWFXML><SCENE>5</SCENE><TAKE>1</TAKE></BWFXML>"; // no room to grow
        const QString take = path("T1.WAV");
        QDir().mkpath(path("store"));
        const QString file = situation == "link" ? path("store/T1.WAV") : take;
        const QByteArray audio = TestUtil::writeTake(file, shape);
        QVERIFY(!audio.isEmpty());
        if (situation == "link")
            QVERIFY(QFile::link(file, take));
        if (situation == "partial")
            QVERIFY(TestUtil::writeFile(path("5T01.WAV.velmora-partial"), "cut"));
        TakeLock other;
        if (situation == "locked")
            QVERIFY(other.acquire(take));
        const QStringList before = filesHere();
        const QByteArray bytes = TestUtil::readFile(file);
        const auto r = TakeRenamer().run({take});
        QCOMPARE(r.size(), 1);
        if (reason.isEmpty()) {
            QCOMPARE(r.at(0).outcome, TakeBatch::Outcome::Done);
            QCOMPARE(filesHere(), QStringList{"5T01.WAV"});
            QCOMPARE(TestUtil::audioOf(path("5T01.WAV")), audio);
            AudioFile f;
            QVERIFY(f.Open(path("5T01.WAV")));
            QCOMPARE(f.GetFileName(), QStringLiteral("5T01.WAV"));
        } else {
            QVERIFY(r.at(0).outcome != TakeBatch::Outcome::Done);
            QVERIFY2(r.at(0).reason.startsWith(reason), qPrintable(r.at(0).reason));
            QCOMPARE(filesHere(), before);
            QCOMPARE(TestUtil::readFile(file), bytes);
        }
    }

    void existingAndSameNamesAreSkipped()
    {
        QVERIFY(!writeTake("T1.WAV", "5", "1").isEmpty());
        QVERIFY(TestUtil::writeFile(path("5T01.WAV"), "another take"));
        QVERIFY(!writeTake("5T02.WAV", "5", "2").isEmpty());
        const auto r = TakeRenamer().run({path("T1.WAV"), path("5T02.WAV")});
        QCOMPARE(r.size(), 2);
        QCOMPARE(r.at(0).outcome, TakeBatch::Outcome::Skipped);
        QCOMPARE(r.at(1).outcome, TakeBatch::Outcome::Skipped);
        QCOMPARE(TestUtil::readFile(path("5T01.WAV")), QByteArray("another take"));
        QCOMPARE(filesHere(), (QStringList{"5T01.WAV", "5T02.WAV", "T1.WAV"}));
    }
};

QTEST_GUILESS_MAIN(TestTakeRenamer)
#include "tst_takerenamer.moc"

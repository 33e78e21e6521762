#include "TakeColumns.h"
#include "TakeFileMaker.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

// velmora-cli takes, run as a separate process.
class TestTakesCommand : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_mono; // T0002_1..4
    QString m_poly;

    static int cli(const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr)
    {
        return TestUtil::run(VELMORA_CLI, args, out, err);
    }

private slots:
    void initTestCase();
    void plainListing();
    void jsonListing();
    void failures_data();
    void failures();
    void usageErrors_data();
    void usageErrors();
};

void TestTakesCommand::initTestCase()
{
    QVERIFY(m_dir.isValid());
    TakeShape poly;
    poly.channels = 4;
    poly.scene = "12A";
    poly.take = "1";
    m_poly = m_dir.filePath("T0001.WAV");
    QVERIFY(TakeFileMaker::write(m_poly, poly));
    TakeShape mono;
    mono.scene = "12B";
    mono.take = "2";
    mono.timestamp = 48000 * 3600; // 01:00:00:00
    m_mono = TakeFileMaker::writeMonoTake(m_dir.path(), "T0002", 4, mono);
    QCOMPARE(m_mono.size(), 4);
    QVERIFY(TestUtil::writeFile(m_dir.filePath("readme.txt"), "not a take"));
}

void TestTakesCommand::plainListing()
{
    QByteArray out, err;
    QCOMPARE(cli({"takes", m_dir.path()}, &out, &err), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    const QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 2 + 5);
    QVERIFY(lines.at(0).startsWith("File Name"));
    QCOMPARE(lines.at(1).simplified(), QString("T0001.WAV 4(POLY) 12A 01 00:00:00:00 00:00:00 1"));
    QCOMPARE(lines.at(2), "  " + m_poly);
    QCOMPARE(lines.at(3).simplified(),
             QString("T0002_X.WAV 4(MONO) 12B 02 01:00:00:00 00:00:00 4"));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(lines.at(4 + i), "  " + m_mono.at(i));
}

void TestTakesCommand::jsonListing()
{
    QByteArray out;
    QCOMPARE(cli({"takes", "--json", m_dir.path()}, &out), 0);
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(out, &e);
    QCOMPARE(e.error, QJsonParseError::NoError);
    const QJsonArray takes = doc.array();
    QCOMPARE(takes.size(), 2);
    const QJsonObject mono = takes.at(1).toObject();
    const QJsonObject columns = mono.value("columns").toObject();
    QCOMPARE(columns.size(), 31);
    QCOMPARE(columns.value("File Name").toString(), QString("T0002_X.WAV"));
    QCOMPARE(columns.value("Channels").toString(), QString("4(MONO)"));
    QCOMPARE(columns.value("Path").toString(), m_mono.at(0));
    QStringList files;
    for (const QJsonValue& v : mono.value("files").toArray())
        files << v.toString();
    QCOMPARE(files, m_mono);
    // The side tables by their field names.
    QCOMPARE(mono.value("tracks").toArray().at(3).toObject().value("Name").toString(),
             QString("Track 4"));
    QCOMPARE(mono.value("history").toObject().value("Parent UID").toString(), QString("PUID"));
    QCOMPARE(mono.value("fileSet").toObject().value("Family UID").toString(), QString("FUID"));
}

void TestTakesCommand::failures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: the path does not exist
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing.wav" << QByteArray() << "no such file or folder";
    QTest::newRow("not a take") << "junk.wav" << QByteArray("garbage") << "junk.wav";
    QTest::newRow("other suffix") << "notes.txt" << QByteArray("text") << "not a .wav or .bwf";
    TakeShape far;
    far.channelIndex = 64;
    QTest::newRow("channel index 64") << "F_1.wav" << TakeFileMaker::build(far) << "in no take";
}

void TestTakesCommand::failures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!content.isEmpty())
        QVERIFY(TestUtil::writeFile(path, content));
    QByteArray out, err;
    // The other take is still listed.
    QCOMPARE(cli({"takes", path, m_poly}, &out, &err), 1);
    QVERIFY2(QString::fromUtf8(err).contains(message), err.constData());
    QVERIFY(out.contains("T0001.WAV"));
    QCOMPARE(QFile::exists(path), !content.isEmpty());
}

void TestTakesCommand::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no paths") << QStringList{"takes"};
    QTest::newRow("unknown option") << QStringList{"takes", "--xml", "x.wav"};
}

void TestTakesCommand::usageErrors()
{
    QFETCH(QStringList, args);
    QByteArray err;
    QCOMPARE(cli(args, nullptr, &err), 2);
    QVERIFY(err.contains("usage"));
}

QTEST_GUILESS_MAIN(TestTakesCommand)
#include "tst_takescommand.moc"

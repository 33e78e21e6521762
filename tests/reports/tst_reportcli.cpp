#include "TestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// velmora-cli report: the takes it finds, in take-list order, through the
// same writers as the window; and its answers to requests it cannot serve.
class TestReportCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_takes;

private slots:
    void initTestCase()
    {
        m_takes = m_dir.filePath("takes");
        QCOMPARE(TestUtil::run(VELMORA_CLI, {"demo", m_takes, "--takes", "4", "--seconds", "0.02",
                                             "--channels", "16"}),
                 0);
    }

    void csvInTakeListOrder()
    {
        const QString out = m_dir.filePath("r.csv");
        QCOMPARE(
            TestUtil::run(VELMORA_CLI, {"report", "--format", "csv", "--output", out, "--columns",
                                        "File Name,Take", "--header", "Project:=Big Film",
                                        "--header", "Roll:=A001", m_takes}),
            0);
        QCOMPARE(QString::fromUtf8(TestUtil::readFile(out)).split('\r'),
                 (QStringList{"SOUND REPORT", "Project:,\"Big Film\",Roll:,\"A001\",",
                              "File Name,Take", "\"T0001.WAV\",\"01\"", "\"T0002_X.WAV\",\"02\"",
                              "\"T0003.WAV\",\"03\"", "\"T0004_X.WAV\",\"4w\"", ""}));
    }

    void answers_data()
    {
        QTest::addColumn<QString>("args"); // OUT: the output file, TAKES: the take folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrPart");
        QTest::addColumn<QByteArray>("outputStart"); // empty: no file written

        QTest::newRow("pdf past the column limit")
            << "--format pdf --output OUT --track-names TAKES" << 2
            << "Maximum number of columns to be included in Reports reached." << QByteArray();
        QTest::newRow("csv has no column limit")
            << "--format csv --output OUT --track-names TAKES" << 0 << "" << QByteArray("SOUND");
        QTest::newRow("pdf with track rows")
            << "--format pdf --output OUT --track-names-rows --header Director:=Ana TAKES" << 0
            << "" << QByteArray("%PDF-");
        QTest::newRow("unknown column")
            << "--format csv --output OUT --columns Lens TAKES" << 2 << "Lens" << QByteArray();
        QTest::newRow("no take included")
            << "--format csv --output OUT --include wild --header Job:=1 TAKES/T0001.WAV" << 1
            << "No Takes were included" << QByteArray();
    }
    void answers()
    {
        QFETCH(QString, args);
        QFETCH(int, status);
        QFETCH(QString, stderrPart);
        QFETCH(QByteArray, outputStart);
        QTemporaryDir dir;
        const QString out = dir.filePath("report.out");
        args.replace("OUT", out).replace("TAKES", m_takes);
        QByteArray err;
        QCOMPARE(TestUtil::run(VELMORA_CLI, QStringList{"report"} + args.split(' '), nullptr, &err),
                 status);
        QVERIFY2(err.contains(stderrPart.toUtf8()), err.constData());
        QCOMPARE(QFile::exists(out), !outputStart.isEmpty());
        QVERIFY(TestUtil::readFile(out).startsWith(outputStart));
    }
};

QTEST_GUILESS_MAIN(TestReportCli)
#include "tst_reportcli.moc"

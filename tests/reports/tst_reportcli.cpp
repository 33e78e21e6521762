#include "ReportTestKit.h"
#include "TestUtil.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// velmora-cli report: the takes it finds, in take-list order, through the
// same writers as the window; and its answers to bad requests.
class TestReportCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_takes;

    int report(const QStringList& args, QByteArray* err = nullptr)
    {
        return TestUtil::run(VELMORA_CLI, QStringList{"report"} + args, nullptr, err);
    }

private slots:
    void initTestCase()
    {
        m_takes = m_dir.filePath("takes");
        QCOMPARE(TestUtil::run(VELMORA_CLI, {"demo", m_takes, "--takes", "4", "--seconds", "0.02",
                                             "--channels", "16", "--layout", "mixed"}),
                 0);
    }

    void csvInTakeListOrder()
    {
        const QString out = m_dir.filePath("r.csv");
        QCOMPARE(report({"--format", "csv", "--output", out, "--columns", "File Name,Take",
                         "--header", "Project:=Big Film", "--header", "Roll:=A001", m_takes}),
                 0);
        QCOMPARE(ReportTestKit::lines(TestUtil::readFile(out)),
                 (QStringList{"SOUND REPORT", "Project:,\"Big Film\",Roll:,\"A001\",",
                              "File Name,Take", "\"T0001.WAV\",\"01\"", "\"T0002_X.WAV\",\"02\"",
                              "\"T0003.WAV\",\"03\"", "\"T0004_X.WAV\",\"4w\""}));
    }

    void answers_data()
    {
        QTest::addColumn<QStringList>(
            "args"); // "OUT" stands for the output file, "TAKES" the folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrPart");
        QTest::addColumn<QByteArray>("outputStart"); // empty: no file written

        const QByteArray none;
        QTest::newRow("pdf past the column limit")
            << QStringList{"--format", "pdf", "--output", "OUT", "--track-names", "TAKES"} << 2
            << "Maximum number of columns to be included in Reports reached." << none;
        QTest::newRow("csv has no column limit")
            << QStringList{"--format", "csv", "--output", "OUT", "--track-names", "TAKES"} << 0
            << "" << QByteArray("SOUND REPORT\r");
        QTest::newRow("pdf with track rows")
            << QStringList{"--format",           "pdf",      "--output",      "OUT",
                           "--track-names-rows", "--header", "Director:=Ana", "TAKES"}
            << 0 << "" << QByteArray("%PDF-");
        QTest::newRow("no format")
            << QStringList{"--output", "OUT", "TAKES"} << 2 << "--format" << none;
        QTest::newRow("unknown column")
            << QStringList{"--format", "csv", "--output", "OUT", "--columns", "Scene,Lens", "TAKES"}
            << 2 << "Lens" << none;
        QTest::newRow("unknown header field")
            << QStringList{"--format", "csv", "--output", "OUT", "--header", "Lens:=50", "TAKES"}
            << 2 << "Lens:" << none;
        QTest::newRow("notes both ways")
            << QStringList{"--format", "csv", "--output", "OUT", "--notes", "--notes-rows", "TAKES"}
            << 2 << "exclude" << none;
        QTest::newRow("no takes found")
            << QStringList{"--format", "csv", "--output", "OUT", "--header", "Job:=1", "EMPTY"} << 1
            << "No Takes are present" << none;
        QTest::newRow("no take included")
            << QStringList{"--format", "csv",    "--output",       "OUT", "--include", "wild",
                           "--header", "Job:=1", "TAKES/T0001.WAV"}
            << 1 << "No Takes were included" << none;
    }
    void answers()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stderrPart);
        QFETCH(QByteArray, outputStart);
        QTemporaryDir dir;
        const QString out = dir.filePath("report.out");
        QDir().mkpath(dir.filePath("empty"));
        for (QString& a : args) {
            if (a == "OUT")
                a = out;
            a.replace("TAKES", m_takes);
            a.replace("EMPTY", dir.filePath("empty"));
        }
        QByteArray err;
        QCOMPARE(report(args, &err), status);
        QVERIFY2(err.contains(stderrPart.toUtf8()), err.constData());
        if (outputStart.isEmpty())
            QVERIFY(!QFile::exists(out));
        else
            QVERIFY(TestUtil::readFile(out).startsWith(outputStart));
    }
};

QTEST_GUILESS_MAIN(TestReportCli)
#include "tst_reportcli.moc"

#include "AudioFileModel.h"
#include "CsvReport.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "ReportTestKit.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The CSV report: its lines, its quoting read back by a CSV reader, its
// text encoding and what a failed write leaves behind.
class TestCsvReport : public QObject
{
    Q_OBJECT

private:
    static QByteArray report(const AudioFileModel& model, const ReportSettings& s)
    {
        return CsvReport::text(model, ReportTakes::allRows(model), s);
    }

private slots:
    void headerBlock_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QStringList>("block"); // the lines between title and heading
        QTest::newRow("0") << 0 << QStringList{""};
        QTest::newRow("1") << 1 << QStringList{"Project:,\"P\","};
        QTest::newRow("2") << 2 << QStringList{"Project:,\"P\",Producer:,\"Q\","};
        QTest::newRow("3") << 3
                           << QStringList{"Project:,\"P\",Producer:,\"Q\",Director:,\"R\"", ""};
        QTest::newRow("4") << 4
                           << QStringList{"Project:,\"P\",Producer:,\"Q\",Director:,\"R\"",
                                          "Job:,\"S\","};
        QTest::newRow("7") << 7
                           << QStringList{"Project:,\"P\",Producer:,\"Q\",Director:,\"R\"",
                                          "Job:,\"S\",Date:,\"T\",Location:,\"U\"", "Roll:,\"V\","};
    }
    void headerBlock()
    {
        QFETCH(int, pairs);
        QFETCH(QStringList, block);
        AudioFileModel model;
        ReportTestKit::addTakes(model, 1);
        ReportSettings s;
        s.clearHeader();
        // Six producer fields on rows 1..6, then recording fields from row 13.
        const QString texts = "PQRSTUVW";
        for (int p = 0; p < pairs; ++p) {
            const int row = p < 6 ? p + 1 : ReportSettings::kFirstRecordRow + p - 6;
            const QString field = p < 6 ? ReportSettings::producerInfoList().at(p + 1)
                                        : ReportSettings::recordInfoList().at(p - 5);
            s.row(row) = {field, QString(texts.at(p))};
        }
        const QByteArray bytes = report(model, s);
        QVERIFY(!bytes.contains('\n'));
        QVERIFY(bytes.endsWith('\r'));
        const QStringList lines = ReportTestKit::lines(bytes);
        QCOMPARE(lines.first(), QString("SOUND REPORT"));
        QCOMPARE(lines.mid(1, block.size()), block);
        QVERIFY(lines.at(1 + block.size()).startsWith("File Name,"));
    }

    void headingAndTakeLines_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<bool>("notesRows");
        QTest::addColumn<bool>("trackNames");
        QTest::addColumn<QStringList>("expected"); // heading, then one line per take

        QTest::newRow("default columns")
            << "File Name,Channels,Scene,Take,Length,Start TC" << false << false
            << QStringList{"File Name,Channels,Scene,Take,Length,Start TC",
                           "\"T1.WAV\",4(POLY),\"12\",\"3\",,",
                           "\"T2_X.WAV\",2(MONO),\"12\",\"4\",,"};
        QTest::newRow("notes column unquoted, sample rate")
            << "Tape,Sample Rate,Notes" << false << false
            << QStringList{"Tape,Sample Rate,Notes", "\"D1\",48000,good", "\"D1\",48000,"};
        QTest::newRow("notes as rows")
            << "Take" << true << false << QStringList{"Take,Notes", "\"3\",\"good\"", "\"4\",\"\""};
        QTest::newRow("only track names, short take not padded, empty name X")
            << "" << false << true
            << QStringList{"T1,T2,T3,T4", "\"Boom\",\"X\",\"Lav\",\"Mix\"", "\"Boom\",\"Lav\""};
        QTest::newRow("columns, notes rows and track names")
            << "Scene" << true << true
            << QStringList{"Scene,Notes,T1,T2,T3,T4",
                           "\"12\",\"good\",\"Boom\",\"X\",\"Lav\",\"Mix\"",
                           "\"12\",\"\",\"Boom\",\"Lav\""};
    }
    void headingAndTakeLines()
    {
        QFETCH(QString, columns);
        QFETCH(bool, notesRows);
        QFETCH(bool, trackNames);
        QFETCH(QStringList, expected);
        AudioFileModel model;
        ReportTake a;
        a.name = "T1.WAV";
        a.label = "4(POLY)";
        a.take = "3";
        a.tape = "D1";
        a.notes = "good";
        a.tracks = QStringList{"Boom", "", "Lav", "Mix"};
        ReportTestKit::addTake(model, a);
        ReportTake b = a;
        b.name = "T2_X.WAV";
        b.label = "2(MONO)";
        b.take = "4";
        b.notes.clear();
        b.tracks = QStringList{"Boom", "Lav"};
        ReportTestKit::addTake(model, b);

        ReportSettings s;
        s.clearHeader();
        for (int c = 0; c < ReportSettings::ColumnCount; ++c)
            s.setColumnDirect(c,
                              columns.split(',').contains(ReportSettings::reportInfoList().at(c)));
        s.notesRows = notesRows;
        s.trackNames = trackNames;
        const QStringList lines = ReportTestKit::lines(report(model, s));
        // Title, one empty header line, heading, takes.
        QCOMPARE(lines.mid(2), expected);
    }

    // Cells holding separators, quotes and line breaks, in quoted and in
    // unquoted columns, in the header and in the extras, read back whole.
    void quotingReadsBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("comma") << "Scene 4, part 2";
        QTest::newRow("quote") << "the \"good\" one";
        QTest::newRow("line feed") << "first\nsecond";
        QTest::newRow("carriage return") << "first\rsecond";
        QTest::newRow("all") << "\",\r\n\"";
        QTest::newRow("accented and Japanese") << "Café 撮影メモ";
    }
    void quotingReadsBack()
    {
        QFETCH(QString, value);
        AudioFileModel model;
        ReportTake t;
        t.scene = value;
        t.sampleRate = value; // a column written unquoted when it can be
        t.notes = value;
        t.label = "1(POLY)";
        t.tracks = QStringList{value};
        ReportTestKit::addTake(model, t);
        ReportSettings s;
        s.clearHeader();
        s.row(1) = {"Project:", value};
        for (int c = 0; c < ReportSettings::ColumnCount; ++c)
            s.setColumnDirect(c, c == ReportSettings::Scene || c == ReportSettings::SampleRate);
        s.notesRows = true;
        s.trackNames = true;

        const QList<QStringList> records = ReportTestKit::readCsv(report(model, s));
        QCOMPARE(records.size(), 4);
        QCOMPARE(records.at(1), (QStringList{"Project:", value, ""}));
        QCOMPARE(records.at(2), (QStringList{"Scene", "Sample Rate", "Notes", "T1"}));
        QCOMPARE(records.at(3), (QStringList{value, value, value, value}));
    }

    void textIsUtf8()
    {
        AudioFileModel model;
        ReportTake t;
        t.scene = "Café";
        ReportTestKit::addTake(model, t);
        ReportSettings s;
        s.clearHeader();
        const QByteArray bytes = report(model, s);
        QVERIFY(bytes.contains("\"Caf\xC3\xA9\""));
    }

    // What createCSVFile refuses before writing, and what a write that
    // fails part way leaves: the earlier file as it was, no partial file.
    void failures_data()
    {
        QTest::addColumn<QString>("name"); // in the temporary folder; "" for none
        QTest::addColumn<int>("takes");
        QTest::addColumn<bool>("includeAny");
        QTest::addColumn<qint64>("sizeLimit"); // 0: none
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<QString>("message");

        const QString failed = CsvReport::failedMessage();
        QTest::newRow("no name") << "" << 3 << true << qint64(0) << false
                                 << ReportTakes::invalidNameMessage();
        QTest::newRow("no takes") << "r.csv" << 0 << true << qint64(0) << false
                                  << ReportTakes::noTakesMessage();
        QTest::newRow("none included")
            << "r.csv" << 3 << false << qint64(0) << false << ReportTakes::noneIncludedMessage();
        QTest::newRow("folder missing")
            << "missing/r.csv" << 3 << true << qint64(0) << false << failed;
        QTest::newRow("write fails part way")
            << "r.csv" << 2000 << true << qint64(4096) << false << failed;
        QTest::newRow("write fails, earlier report kept")
            << "r.csv" << 2000 << true << qint64(4096) << true << failed;
    }
    void failures()
    {
        QFETCH(QString, name);
        QFETCH(int, takes);
        QFETCH(bool, includeAny);
        QFETCH(qint64, sizeLimit);
        QFETCH(bool, earlierFile);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = name.isEmpty() ? QString() : dir.filePath(name);
        const QByteArray earlier = "earlier report\r";
        if (earlierFile)
            QVERIFY(TestUtil::writeFile(path, earlier));
        AudioFileModel model;
        ReportTestKit::addTakes(model, takes);
        ReportSettings s;
        s.includeCircled = s.includeNonCircled = includeAny;

        QString got;
        bool ok = false;
        {
            std::unique_ptr<ReportFileSizeLimit> limit;
            if (sizeLimit > 0)
                limit = std::make_unique<ReportFileSizeLimit>(quint64(sizeLimit));
            ok = CsvReport::createCSVFile(path, model, ReportTakes::allRows(model), s, &got);
        }
        QVERIFY(!ok);
        QCOMPARE(got, message);
        if (earlierFile)
            QCOMPARE(TestUtil::readFile(path), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 earlierFile ? QStringList{name} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCsvReport)
#include "tst_csvreport.moc"

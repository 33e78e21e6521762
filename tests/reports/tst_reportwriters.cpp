#include "AudioFileModel.h"
#include "CsvReport.h"
#include "PdfReport.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "ReportTestKit.h"
#include "TestUtil.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The CSV and PDF writers on a take list in memory: lines, quoting and
// encoding of the CSV; print rows, pages and text of the PDF; and what a
// stop or a failed write leaves behind.
class TestReportWriters : public QObject
{
    Q_OBJECT

    static QStringList csvLines(const AudioFileModel& model, const ReportSettings& s)
    {
        const QByteArray bytes = CsvReport::text(model, ReportTakes::allRows(model), s);
        if (bytes.contains('\n') || !bytes.endsWith('\r'))
            return {"not ended by single carriage returns"};
        return QString::fromUtf8(bytes.chopped(1)).split('\r');
    }

private slots:
    void csvHeaderBlock_data()
    {
        QTest::addColumn<int>("pairs");
        QTest::addColumn<QStringList>("block"); // the lines between title and heading
        const QString full = "Project:,\"P\",Producer:,\"Q\",Director:,\"R\"";
        QTest::newRow("0") << 0 << QStringList{""};
        QTest::newRow("1") << 1 << QStringList{"Project:,\"P\","};
        QTest::newRow("2") << 2 << QStringList{"Project:,\"P\",Producer:,\"Q\","};
        QTest::newRow("3") << 3 << QStringList{full, ""};
        QTest::newRow("4") << 4 << QStringList{full, "Job:,\"S\","};
        QTest::newRow("7") << 7
                           << QStringList{full, "Job:,\"S\",Date:,\"T\",Location:,\"U\"",
                                          "Roll:,\"V\","};
    }
    void csvHeaderBlock()
    {
        QFETCH(int, pairs);
        QFETCH(QStringList, block);
        AudioFileModel model;
        ReportTestKit::addTakes(model, 1);
        ReportSettings s;
        s.clearHeader();
        // Producer fields on rows 1..6, then recording fields from row 13.
        for (int p = 0; p < pairs; ++p)
            s.row(p < 6 ? p + 1 : p + 7) = {p < 6 ? ReportSettings::producerInfoList().at(p + 1)
                                                  : ReportSettings::recordInfoList().at(p - 5),
                                            QString(QChar('P' + p))};
        const QStringList lines = csvLines(model, s);
        QCOMPARE(lines.first(), QString("SOUND REPORT"));
        QCOMPARE(lines.mid(1, block.size()), block);
        QVERIFY(lines.at(1 + block.size()).startsWith("File Name,"));
    }

    void csvHeadingAndTakeLines_data()
    {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("extras");       // N notes rows, T track names
        QTest::addColumn<QStringList>("expected"); // heading, then one line per take

        const QString all = "File Name,Channels,Scene,Take,Length,Start TC";
        QTest::newRow("default columns") << all << QString()
                                         << QStringList{all, "\"T1.WAV\",4(POLY),\"12\",\"3\",,",
                                                        "\"T2_X.WAV\",2(MONO),\"12\",\"4\",,"};
        QTest::newRow("notes column unquoted")
            << QString("Tape,Sample Rate,Notes") << QString()
            << QStringList{"Tape,Sample Rate,Notes", "\"D1\",48000,good", "\"D1\",48000,"};
        QTest::newRow("only track names: not padded, empty name X")
            << QString() << QString("T")
            << QStringList{"T1,T2,T3,T4", "\"Boom\",\"X\",\"Lav\",\"Mix\"", "\"Boom\",\"Lav\""};
        QTest::newRow("column, notes rows and track names")
            << QString("Scene") << QString("NT")
            << QStringList{"Scene,Notes,T1,T2,T3,T4",
                           "\"12\",\"good\",\"Boom\",\"X\",\"Lav\",\"Mix\"",
                           "\"12\",\"\",\"Boom\",\"Lav\""};
    }
    void csvHeadingAndTakeLines()
    {
        QFETCH(QString, columns);
        QFETCH(QString, extras);
        QFETCH(QStringList, expected);
        AudioFileModel model;
        ReportTestKit::addTake(model, "T1.WAV|4(POLY)| | |12|3|D1|48000|good",
                               {"Boom", "", "Lav", "Mix"});
        ReportTestKit::addTake(model, "T2_X.WAV|2(MONO)| | |12|4|D1|48000|", {"Boom", "Lav"});
        ReportSettings s;
        s.clearHeader();
        ReportTestKit::setColumns(s, columns);
        s.notesRows = extras.contains('N');
        s.trackNames = extras.contains('T');
        QCOMPARE(csvLines(model, s).mid(2), expected); // after the title and an empty header
    }

    // Separators, quotes, line breaks and other scripts, in quoted and
    // unquoted columns, the header and the extras, read back whole.
    void csvQuotingReadsBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("comma, quote, line breaks") << "a, \"b\"\r\nc\rd\ne";
        QTest::newRow("UTF-8") << "Café 撮影メモ";
    }
    void csvQuotingReadsBack()
    {
        QFETCH(QString, value);
        AudioFileModel model;
        ReportTestKit::addTake(model, "T1.WAV|1(POLY)| | |" + value + "|1||" + value + '|' + value,
                               {value});
        ReportSettings s;
        s.clearHeader();
        s.row(1) = {"Project:", value};
        ReportTestKit::setColumns(s, "Scene,Sample Rate");
        s.notesRows = s.trackNames = true;
        const QList<QStringList> records = ReportTestKit::readCsv(CsvReport::text(model, {0}, s));
        QCOMPARE(records.size(), 4);
        QCOMPARE(records.at(1), (QStringList{"Project:", value, ""}));
        QCOMPARE(records.at(3), (QStringList{value, value, value, value}));
    }

    void pdfPrintRows_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QString>(
            "extras"); // T track columns, R track rows, N notes rows, C notes column
        QTest::addColumn<QStringList>("rows"); // cells joined by "|", sequence number first
        const QString sixteen = "0|Tracks: n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, n11, n12, "
                                "n13, n14, n15, n16";
        QTest::newRow("name without extension, channel count only")
            << 2 << "" << QStringList{"0|T003|4|12"};
        QTest::newRow("track columns padded to the widest take")
            << 2 << "T" << QStringList{"0|T003|4|12|n1|n2| | "};
        QTest::newRow("16 tracks on one row") << 16 << "R" << QStringList{"0|T003|4|12", sixteen};
        QTest::newRow("17 tracks: a continuation row")
            << 17 << "R" << QStringList{"0|T003|4|12", sixteen + ", ", "0||n17"};
        QTest::newRow("notes row") << 1 << "N" << QStringList{"0|T003|4|12", "0|NOTES: noisy"};
        QTest::newRow("notes column and rows: no notes row")
            << 1 << "NC" << QStringList{"0|T003|4|12|noisy"};
    }
    void pdfPrintRows()
    {
        QFETCH(int, tracks);
        QFETCH(QString, extras);
        QFETCH(QStringList, rows);
        AudioFileModel model;
        QStringList names;
        for (int i = 1; i <= tracks; ++i)
            names << QString("n%1").arg(i);
        ReportTestKit::addTake(model, "T003.wav|4(POLY)| | |12|1|||noisy", names);
        ReportSettings s;
        ReportTestKit::setColumns(s, extras.contains('C') ? "File Name,Channels,Scene,Notes"
                                                          : "File Name,Channels,Scene");
        s.trackNames = extras.contains('T');
        s.trackNamesRows = extras.contains('R');
        s.notesRows = extras.contains('N');
        QStringList got;
        for (const QStringList& item : PdfReport::plan(model, {0}, s).items)
            got << item.join('|');
        QCOMPARE(got, rows);
    }

    // Every print row of a take with an odd sequence number is shaded.
    void pdfShading_data()
    {
        QTest::addColumn<QString>("extras");
        QTest::addColumn<QString>("shaded"); // one letter per print row
        QTest::newRow("data rows") << QString() << QString("-x-x");
        QTest::newRow("with track rows") << QString("R") << QString("--xx--xx");
        QTest::newRow("with track and notes rows") << QString("RN") << QString("---xxx---xxx");
    }
    void pdfShading()
    {
        QFETCH(QString, extras);
        QFETCH(QString, shaded);
        AudioFileModel model;
        ReportTestKit::addTakes(model, 4);
        ReportSettings s;
        s.trackNamesRows = extras.contains('R');
        s.notesRows = extras.contains('N');
        QString got;
        for (const QStringList& item : PdfReport::plan(model, {0, 1, 2, 3}, s).items)
            got += PdfReport::isShaded(item) ? 'x' : '-';
        QCOMPARE(got, shaded);
    }

    // Rows per page, each page with its heading and number, the takes in
    // order as pdftotext reads them.
    void pdfPages_data()
    {
        QTest::addColumn<int>("takes");
        QTest::addColumn<QList<int>>("perPage");
        QTest::newRow("36") << 36 << QList<int>{36};
        QTest::newRow("37") << 37 << QList<int>{36, 1};
        QTest::newRow("90") << 90 << QList<int>{36, 54};
        QTest::newRow("91") << 91 << QList<int>{36, 54, 1};
    }
    void pdfPages()
    {
        QFETCH(int, takes);
        QFETCH(QList<int>, perPage);
        if (!ReportTestKit::havePoppler())
            QSKIP("pdftotext (poppler-utils) is not installed");
        AudioFileModel model;
        ReportTestKit::addTakes(model, takes);
        ReportSettings s;
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QVERIFY(PdfReport::createPDFFile(path, model, ReportTakes::allRows(model), s, nullptr));
        const QStringList pages = ReportTestKit::pdfPages(path);
        QCOMPARE(pages.size(), perPage.size());
        int next = 1;
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY(pages.at(p).contains("File Name"));
            QVERIFY(pages.at(p).contains(QRegularExpression(QString("\\b%1\\s*$").arg(p + 1))));
            int rows = 0;
            for (auto m = QRegularExpression("\\bT(\\d{4})\\b").globalMatch(pages.at(p));
                 m.hasNext(); ++rows)
                QCOMPARE(m.next().captured(1).toInt(), next++);
            QCOMPARE(rows, perPage.at(p));
        }
    }

    // Other scripts keep their letters; a cell too wide for its box ends in
    // an ellipsis and never reaches the next column.
    void pdfGlyphsAndEllipsis()
    {
        if (!ReportTestKit::havePoppler())
            QSKIP("pdftotext (poppler-utils) is not installed");
        AudioFileModel model;
        ReportTestKit::addTake(model, "T1.WAV|1(POLY)| | |SceneWithAVeryLongNameThatCannotFit|7");
        ReportSettings s;
        s.clearHeader();
        s.row(1) = {"Project:", "Фильм Ֆիլմ Ταινία 撮影"};
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QVERIFY(PdfReport::createPDFFile(path, model, {0}, s, nullptr));
        const QString text = ReportTestKit::pdfPages(path).join('\f');
        QVERIFY2(text.contains("Фильм Ֆիլմ Ταινία 撮影"), qPrintable(text));
        QVERIFY(text.contains(QString::fromUtf8("…")) && !text.contains("CannotFit"));
    }

    // A stop after the first page still leaves a complete PDF of one page.
    void pdfStopLeavesShorterPdf()
    {
        AudioFileModel model;
        ReportTestKit::addTakes(model, 200);
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QList<int> seen;
        bool cancelled = false;
        auto progress = [&seen](int done, int pages) {
            seen << done << pages;
            return done < 1;
        };
        QVERIFY(PdfReport::createPDFFile(path, model, ReportTakes::allRows(model), ReportSettings(),
                                         nullptr, progress, &cancelled));
        QVERIFY(cancelled);
        QCOMPARE(seen, (QList<int>{0, 5, 1, 5}));
        QVERIFY(TestUtil::readFile(path).trimmed().endsWith("%%EOF"));
        if (ReportTestKit::havePoppler())
            QCOMPARE(ReportTestKit::pdfPages(path).size(), 1);
    }

    // Refusals, and writes that fail part way: an earlier report stays as it
    // was and no partial file remains.
    void failures_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("name"); // in the temporary folder
        QTest::addColumn<bool>("includeAny");
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<QString>("message");
        const QString csv = CsvReport::failedMessage(), pdf = PdfReport::failedMessage();
        const QString none = ReportTakes::noneIncludedMessage();
        QTest::newRow("none included") << "csv" << QString("r.csv") << false << false << none;
        QTest::newRow("folder missing") << "csv" << QString("no/r.csv") << true << false << csv;
        QTest::newRow("csv write fails, earlier report kept")
            << "csv" << QString("r.csv") << true << true << csv;
        QTest::newRow("pdf write fails, earlier report kept")
            << "pdf" << QString("r.pdf") << true << true << pdf;
    }
    void failures()
    {
        QFETCH(QString, format);
        QFETCH(QString, name);
        QFETCH(bool, includeAny);
        QFETCH(bool, earlierFile);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (earlierFile)
            QVERIFY(TestUtil::writeFile(path, "earlier"));
        AudioFileModel model;
        ReportTestKit::addTakes(model, 2000);
        ReportSettings s;
        s.includeCircled = s.includeNonCircled = includeAny;
        const QList<int> rows = ReportTakes::allRows(model);
        QString got;
        {
            FileSizeLimit limit(8192);
            if (format == "csv")
                QVERIFY(!CsvReport::createCSVFile(path, model, rows, s, &got));
            else
                QVERIFY(!PdfReport::createPDFFile(path, model, rows, s, &got));
        }
        QCOMPARE(got, message);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 earlierFile ? QStringList{name} : QStringList());
        if (earlierFile)
            QCOMPARE(TestUtil::readFile(path), QByteArray("earlier"));
    }
};

QTEST_MAIN(TestReportWriters)
#include "tst_reportwriters.moc"

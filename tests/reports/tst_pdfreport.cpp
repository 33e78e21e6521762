#include "AudioFileModel.h"
#include "PdfReport.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "ReportTestKit.h"
#include "TestUtil.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The PDF report: its print rows, its pages as pdftotext reads them, and
// what a stop or a failed write leaves behind.
class TestPdfReport : public QObject
{
    Q_OBJECT

private:
    static QString written(const QString& path, const AudioFileModel& model,
                           const ReportSettings& s, const PdfReport::Progress& progress = {},
                           bool* cancelled = nullptr)
    {
        QString message;
        if (!PdfReport::createPDFFile(path, model, ReportTakes::allRows(model), s, &message,
                                      progress, cancelled))
            return message;
        return QString();
    }
    static QStringList pages(const QString& text)
    {
        QStringList p = text.split('\f');
        if (!p.isEmpty() && p.last().trimmed().isEmpty())
            p.removeLast();
        return p;
    }

private slots:
    // Print rows of one take in each layout of extras.
    void printRows_data()
    {
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QString>(
            "extras"); // T track columns, R track rows, N notes rows, C notes column
        QTest::addColumn<QStringList>("rows"); // cells joined by "|", sequence number first

        QTest::newRow("name without extension, channel count only")
            << 2 << "" << QStringList{"0|T003|4|12"};
        QTest::newRow("track columns padded to the widest take")
            << 2 << "T" << QStringList{"0|T003|4|12|n1|n2| | "};
        QTest::newRow("16 tracks on one row")
            << 16 << "R"
            << QStringList{"0|T003|4|12", "0|Tracks: n1, n2, n3, n4, n5, n6, "
                                          "n7, n8, n9, n10, n11, n12, n13, "
                                          "n14, n15, n16"};
        QTest::newRow("17 tracks: a continuation row")
            << 17 << "R"
            << QStringList{"0|T003|4|12",
                           "0|Tracks: n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, n11, n12, n13, "
                           "n14, n15, n16, ",
                           "0||n17"};
        QTest::newRow("20 tracks: four on the continuation row")
            << 20 << "R"
            << QStringList{"0|T003|4|12",
                           "0|Tracks: n1, n2, n3, n4, n5, n6, n7, n8, n9, n10, n11, n12, n13, "
                           "n14, n15, n16, ",
                           "0||n17, n18, n19, n20"};
        QTest::newRow("notes row") << 1 << "N" << QStringList{"0|T003|4|12", "0|NOTES: noisy"};
        QTest::newRow("notes column and rows: no notes row")
            << 1 << "NC" << QStringList{"0|T003|4|12|noisy"};
    }
    void printRows()
    {
        QFETCH(int, tracks);
        QFETCH(QString, extras);
        QFETCH(QStringList, rows);
        AudioFileModel model;
        ReportTake t;
        t.name = "T003.wav";
        t.label = "4(POLY)";
        for (int i = 1; i <= tracks; ++i)
            t.tracks << QString("n%1").arg(i);
        t.notes = "noisy";
        ReportTestKit::addTake(model, t);
        ReportTake wide;
        wide.label = "3(POLY)";
        ReportTestKit::addTake(model, wide);

        ReportSettings s;
        for (int c = 0; c < ReportSettings::ColumnCount; ++c)
            s.setColumnDirect(c, c == ReportSettings::FileName || c == ReportSettings::Channels ||
                                     c == ReportSettings::Scene ||
                                     (c == ReportSettings::Notes && extras.contains('C')));
        s.trackNames = extras.contains('T');
        s.trackNamesRows = extras.contains('R');
        s.notesRows = extras.contains('N');
        const PdfReport::Plan plan = PdfReport::plan(model, {0}, s);
        QStringList got;
        for (const QStringList& item : plan.items)
            got << item.join('|');
        QCOMPARE(got, rows);
    }

    // Every print row of a take with an odd sequence number is shaded: data,
    // track and notes rows alike.
    void shading_data()
    {
        QTest::addColumn<QString>("extras");
        QTest::addColumn<QString>("shaded"); // one letter per print row
        QTest::newRow("data rows") << ""
                                   << "-x-x";
        QTest::newRow("with track rows") << "R"
                                         << "--xx--xx";
        QTest::newRow("with track and notes rows") << "RN"
                                                   << "---xxx---xxx";
    }
    void shading()
    {
        QFETCH(QString, extras);
        QFETCH(QString, shaded);
        AudioFileModel model;
        ReportTestKit::addTakes(model, 4);
        ReportSettings s;
        s.trackNamesRows = extras.contains('R');
        s.notesRows = extras.contains('N');
        const PdfReport::Plan plan = PdfReport::plan(model, ReportTakes::allRows(model), s);
        QString got;
        for (const QStringList& item : plan.items)
            got += PdfReport::isShaded(item) ? 'x' : '-';
        QCOMPARE(got, shaded);
    }

    // Rows per page, and the take rows in order on each page as pdftotext
    // reads them.
    void pages_data()
    {
        QTest::addColumn<int>("takes");
        QTest::addColumn<QList<int>>("perPage");
        QTest::newRow("36") << 36 << QList<int>{36};
        QTest::newRow("37") << 37 << QList<int>{36, 1};
        QTest::newRow("90") << 90 << QList<int>{36, 54};
        QTest::newRow("91") << 91 << QList<int>{36, 54, 1};
    }
    void pages()
    {
        QFETCH(int, takes);
        QFETCH(QList<int>, perPage);
        if (!ReportTestKit::havePoppler())
            QSKIP("pdftotext (poppler-utils) is not installed");
        AudioFileModel model;
        ReportTestKit::addTakes(model, takes);
        ReportSettings s;
        s.clearHeader();
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QCOMPARE(written(path, model, s), QString());

        const QStringList text = pages(ReportTestKit::pdfText(path));
        QCOMPARE(text.size(), perPage.size());
        const QRegularExpression name("\\bT(\\d{4})\\b");
        int next = 1;
        for (int p = 0; p < text.size(); ++p) {
            QVERIFY(text.at(p).contains("File Name"));
            QVERIFY(text.at(p).contains(QRegularExpression(QString("\\b%1\\s*$").arg(p + 1))));
            int rows = 0;
            for (auto m = name.globalMatch(text.at(p)); m.hasNext(); ++rows)
                QCOMPARE(m.next().captured(1).toInt(), next++);
            QCOMPARE(rows, perPage.at(p));
        }
    }

    // Header texts of other scripts keep their letters; a cell too wide for
    // its box ends in an ellipsis and never reaches the next column.
    void glyphsAndEllipsis()
    {
        if (!ReportTestKit::havePoppler())
            QSKIP("pdftotext (poppler-utils) is not installed");
        AudioFileModel model;
        ReportTake t;
        t.scene = "SceneWithAVeryLongNameThatCannotFit";
        t.take = "7";
        ReportTestKit::addTake(model, t);
        ReportSettings s;
        s.clearHeader();
        s.row(1) = {"Project:", "Фильм Ֆիլմ Ταινία"};
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QCOMPARE(written(path, model, s), QString());
        const QString text = ReportTestKit::pdfText(path);
        QVERIFY2(text.contains("Фильм Ֆիլմ Ταινία"), qPrintable(text));
        QVERIFY(text.contains(QString::fromUtf8("…")));
        QVERIFY(!text.contains("CannotFit"));
    }

    // A stop after the first page still leaves a complete PDF of one page.
    void stopLeavesShorterPdf()
    {
        AudioFileModel model;
        ReportTestKit::addTakes(model, 200);
        ReportSettings s;
        QTemporaryDir dir;
        const QString path = dir.filePath("r.pdf");
        QList<int> seen;
        bool cancelled = false;
        QCOMPARE(written(
                     path, model, s,
                     [&seen](int done, int pages) {
                         seen << done << pages;
                         return done < 1;
                     },
                     &cancelled),
                 QString());
        QVERIFY(cancelled);
        QCOMPARE(seen, (QList<int>{0, 5, 1, 5}));
        const QByteArray bytes = TestUtil::readFile(path);
        QVERIFY(bytes.startsWith("%PDF-"));
        QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        if (ReportTestKit::havePoppler())
            QCOMPARE(pages(ReportTestKit::pdfText(path)).size(), 1);
    }

    void failedWriteLeavesNothing()
    {
        AudioFileModel model;
        ReportTestKit::addTakes(model, 300);
        ReportSettings s;
        QTemporaryDir dir;
        QString message;
        {
            ReportFileSizeLimit limit(8192);
            message = written(dir.filePath("r.pdf"), model, s);
        }
        QCOMPARE(message, PdfReport::failedMessage());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestPdfReport)
#include "tst_pdfreport.moc"

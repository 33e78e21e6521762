#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "ReportTestKit.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The report settings: the check-box rules, the header rows in the settings
// store, and which takes a report includes.
class TestReportSettings : public QObject
{
    Q_OBJECT

private:
    static QString columnsText(const ReportSettings& s)
    {
        QStringList on;
        for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
            if (s.column(c))
                on << ReportSettings::reportInfoList().at(c);
        }
        return on.join(',');
    }
    static void setColumns(ReportSettings& s, const QString& list)
    {
        for (int c = 0; c < ReportSettings::ColumnCount; ++c)
            s.setColumnDirect(c, list.split(',').contains(ReportSettings::reportInfoList().at(c)));
    }

private slots:
    // One rule applied to a starting state: was it accepted, and which
    // columns and extras are checked afterwards.
    void checkBoxRules_data()
    {
        QTest::addColumn<QString>("format");  // pdf | csv
        QTest::addColumn<QString>("columns"); // checked before the action
        QTest::addColumn<bool>("trackNames");
        QTest::addColumn<int>("widest");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("columnsAfter");
        QTest::addColumn<QString>("extrasAfter"); // T trackNames, R trackNamesRows, N notesRows

        const QString four = "File Name,Channels,Scene,Take";
        QTest::newRow("pdf: 4 + 1 + 16 tracks refused")
            << "pdf" << four << true << 16 << "column Tape" << false << four << "T";
        QTest::newRow("pdf: 4 + 1 + 13 tracks accepted")
            << "pdf" << four << true << 13 << "column Tape" << true
            << "File Name,Channels,Tape,Scene,Take"
            << "T";
        QTest::newRow("csv: no limit") << "csv" << four << true << 64 << "column Tape" << true
                                       << "File Name,Channels,Tape,Scene,Take"
                                       << "T";
        QTest::newRow("pdf: track names past the limit refused")
            << "pdf" << four << false << 15 << "trackNames" << false << four << "";
        QTest::newRow("pdf: track names within the limit")
            << "pdf" << four << false << 14 << "trackNames" << true << four << "T";
        QTest::newRow("notes column unchecks notes rows")
            << "pdf" << four << false << 2 << "notesRows,column Notes" << true << four + ",Notes"
            << "";
        QTest::newRow("notes rows uncheck the notes column")
            << "pdf" << four + ",Notes" << false << 2 << "notesRows" << true << four << "N";
        QTest::newRow("track name rows uncheck track names")
            << "pdf" << four << true << 2 << "trackNamesRows" << true << four << "R";
        QTest::newRow("track names uncheck track name rows")
            << "pdf" << four << false << 2 << "trackNamesRows,trackNames" << true << four << "T";
        QTest::newRow("format change within the limit keeps the columns")
            << "csv"
            << "File Name,Tape,Take,Sample Rate,Frame Rate,Notes" << false << 8 << "format pdf"
            << true << "File Name,Tape,Take,Sample Rate,Frame Rate,Notes"
            << "";
        QTest::newRow("format change past the limit resets, keeps Notes")
            << "csv"
            << "File Name,Take,Sample Rate,Frame Rate,Bit Depth,End TC,Wild,Notes" << true << 11
            << "format pdf" << false << "File Name,Channels,Tape,Scene,Length,Start TC,Notes"
            << "T";
        QTest::newRow("reset still past the limit drops the track columns")
            << "csv"
            << "File Name" << true << 30 << "format pdf" << false
            << "File Name,Channels,Tape,Scene,Length,Start TC"
            << "";
    }
    void checkBoxRules()
    {
        QFETCH(QString, format);
        QFETCH(QString, columns);
        QFETCH(bool, trackNames);
        QFETCH(int, widest);
        QFETCH(QString, action);
        QFETCH(bool, accepted);
        QFETCH(QString, columnsAfter);
        QFETCH(QString, extrasAfter);

        ReportSettings s;
        s.format = format == "csv" ? ReportSettings::Csv : ReportSettings::Pdf;
        setColumns(s, columns);
        s.trackNames = trackNames;
        bool ok = true;
        for (const QString& step : action.split(',')) {
            if (step.startsWith("column "))
                ok = s.setColumn(int(ReportSettings::reportInfoList().indexOf(step.mid(7))), true,
                                 widest);
            else if (step == "trackNames")
                ok = s.setTrackNames(true, widest);
            else if (step == "trackNamesRows")
                s.setTrackNamesRows(true);
            else if (step == "notesRows")
                s.setNotesRows(true);
            else if (step == "format pdf")
                ok = s.setFormat(ReportSettings::Pdf, widest);
        }
        QCOMPARE(ok, accepted);
        QCOMPARE(columnsText(s), columnsAfter);
        const QString extras = QString(s.trackNames ? "T" : "") + (s.trackNamesRows ? "R" : "") +
                               (s.notesRows ? "N" : "");
        QCOMPARE(extras, extrasAfter);
    }

    // Header rows through the settings store: what is stored under which
    // key, and what a window reads back.
    void headerRoundTrip_data()
    {
        QTest::addColumn<QStringList>("stored"); // group/key=value written by hand; empty: none
        QTest::addColumn<QStringList>("rows");   // expected "row:field=text" of the used rows

        QTest::newRow("nothing stored: the default rows")
            << QStringList()
            << QStringList{"1:Project:=",     "2:Sound Mixer:=",  "3:Director:=",   "4:Date:=",
                           "5:Phone:=",       "6:Producer:=",     "7:Location:=",   "8:Email:=",
                           "13:Roll:=",       "14:File Type:=",   "15:Bit Depth:=", "16:Media:=",
                           "17:Frame Rate:=", "18:Sample Rate:=", "19:Tone/dB:="};
        QTest::newRow("two fields on one row: the later in the list wins")
            << QStringList{"producerInfoList/Project:=Big Film",
                           "producerInfoList/Project:Index=4",
                           "producerInfoList/Location:=Pier 9",
                           "producerInfoList/Location:Index=4",
                           "recordInfoList/Roll:=A001",
                           "recordInfoList/Roll:Index=20"}
            << QStringList{"4:Location:=Pier 9", "20:Roll:=A001"};
        QTest::newRow("a field without text keeps its row")
            << QStringList{"producerInfoList/Client:=", "producerInfoList/Client:Index=11",
                           "recordInfoList/Mics:=", "recordInfoList/Mics:Index=13"}
            << QStringList{"11:Client:=", "13:Mics:="};
        QTest::newRow("rows outside the group's rows place nothing")
            << QStringList{"producerInfoList/Job:=x",    "producerInfoList/Job:Index=12",
                           "producerInfoList/Folder:=y", "producerInfoList/Folder:Index=13",
                           "recordInfoList/Media:=SD",   "recordInfoList/Media:Index=3"}
            << QStringList();
    }
    void headerRoundTrip()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        QSettings store(dir.filePath("r.ini"), QSettings::IniFormat);
        for (const QString& kv : stored)
            store.setValue(kv.section('=', 0, 0), kv.section('=', 1));

        ReportSettings loaded;
        loaded.clearHeader();
        loaded.loadHeader(store);
        QStringList got;
        for (int r = 1; r <= ReportSettings::kLastRecordRow; ++r) {
            if (ReportSettings::isHeaderRow(r) && loaded.row(r).field != "None")
                got << QString("%1:%2=%3").arg(r).arg(loaded.row(r).field, loaded.row(r).text);
        }
        QCOMPARE(got, rows);

        // Saved and loaded again: the same rows (and "None" rows stay unsaved).
        loaded.row(9) = {"None", "not saved"};
        loaded.saveHeader(store);
        QVERIFY(!store.allKeys().join(',').contains("None"));
        ReportSettings again;
        again.clearHeader();
        again.loadHeader(store);
        // A header without any field stores no key, and so reads back as the default.
        const QStringList expected =
            got.isEmpty() ? ReportSettings().headerPairs() : loaded.headerPairs();
        QCOMPARE(again.headerPairs(), expected);
    }

    void takeSelection_data()
    {
        QTest::addColumn<QString>("include"); // c circled, n non-circled, w wild
        QTest::addColumn<QString>("expected");
        // Takes: A circled, B not circled, C circled and wild, D wild only.
        QTest::newRow("default") << "cn"
                                 << "A,B,C,D";
        QTest::newRow("circled") << "c"
                                 << "A,C";
        QTest::newRow("wild") << "w"
                              << "C,D";
        QTest::newRow("non-circled") << "n"
                                     << "B,D";
        QTest::newRow("none") << ""
                              << "";
    }
    void takeSelection()
    {
        QFETCH(QString, include);
        QFETCH(QString, expected);
        AudioFileModel model;
        const char* takes[][3] = {
            {"A", "Y", " "}, {"B", " ", " "}, {"C", "Y", "Y"}, {"D", " ", "Y"}};
        for (auto& t : takes) {
            ReportTake rt;
            rt.name = t[0];
            rt.circled = t[1];
            rt.wild = t[2];
            ReportTestKit::addTake(model, rt);
        }
        ReportSettings s;
        s.includeCircled = include.contains('c');
        s.includeNonCircled = include.contains('n');
        s.includeWild = include.contains('w');
        // In view order, reversed: the report follows the view.
        const QList<int> rows = ReportTakes::selectTakes(model, {3, 2, 1, 0}, s);
        QStringList names;
        for (int r : rows)
            names.prepend(model.data(model.index(r, 0)).toString());
        QCOMPARE(names.join(','), expected);
    }
};

QTEST_GUILESS_MAIN(TestReportSettings)
#include "tst_reportsettings.moc"

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

private slots:
    // One or more rules applied to a starting state: was the last accepted,
    // and which columns and extras are checked afterwards.
    void checkBoxRules_data()
    {
        QTest::addColumn<QString>("start"); // format, checked columns, T when Track Names
        QTest::addColumn<int>("widest");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("end"); // checked columns, then extras: T, R (track rows), N

        const QString four = "File Name,Channels,Scene,Take";
        QTest::newRow("pdf: 4 + 1 + 16 tracks refused")
            << "pdf|" + four + "|T" << 16 << "Tape" << false << four + "|T";
        QTest::newRow("pdf: 4 + 1 + 13 tracks accepted")
            << "pdf|" + four + "|T" << 13 << "Tape" << true
            << "File Name,Channels,Tape,Scene,Take|T";
        QTest::newRow("pdf: track names past the limit refused")
            << "pdf|" + four + "|" << 15 << "trackNames" << false << four + "|";
        QTest::newRow("notes column unchecks notes rows")
            << "pdf|" + four + "|" << 2 << "notesRows,Notes" << true << four + ",Notes|";
        QTest::newRow("notes rows uncheck the notes column")
            << "pdf|" + four + ",Notes|" << 2 << "notesRows" << true << four + "|N";
        QTest::newRow("track rows and track columns exclude each other")
            << "pdf|" + four + "|T" << 2 << "trackNamesRows,trackNames,trackNamesRows" << true
            << four + "|R";
        QTest::newRow("format change past the limit resets, keeps Notes")
            << "csv|File Name,Take,Sample Rate,Frame Rate,Bit Depth,End TC,Wild,Notes|T" << 11
            << "pdf" << false << "File Name,Channels,Tape,Scene,Length,Start TC,Notes|T";
        QTest::newRow("reset still past the limit drops the track columns")
            << "csv|File Name|T" << 30 << "pdf" << false
            << "File Name,Channels,Tape,Scene,Length,Start TC|";
    }
    void checkBoxRules()
    {
        QFETCH(QString, start);
        QFETCH(int, widest);
        QFETCH(QString, actions);
        QFETCH(bool, accepted);
        QFETCH(QString, end);
        ReportSettings s;
        s.format = start.section('|', 0, 0) == "csv" ? ReportSettings::Csv : ReportSettings::Pdf;
        ReportTestKit::setColumns(s, start.section('|', 1, 1));
        s.trackNames = start.section('|', 2) == "T";
        bool ok = true;
        for (const QString& a : actions.split(',')) {
            if (a == "trackNames")
                ok = s.setTrackNames(true, widest);
            else if (a == "trackNamesRows")
                s.setTrackNamesRows(true);
            else if (a == "notesRows")
                s.setNotesRows(true);
            else if (a == "pdf")
                ok = s.setFormat(ReportSettings::Pdf, widest);
            else
                ok = s.setColumn(int(ReportSettings::reportInfoList().indexOf(a)), true, widest);
        }
        QCOMPARE(ok, accepted);
        QStringList on;
        for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
            if (s.column(c))
                on << ReportSettings::reportInfoList().at(c);
        }
        QCOMPARE(on.join(',') + '|' + (s.trackNames ? "T" : "") + (s.trackNamesRows ? "R" : "") +
                     (s.notesRows ? "N" : ""),
                 end);
    }

    // Header rows read from the settings store, then saved and read again.
    void headerRoundTrip_data()
    {
        QTest::addColumn<QStringList>("stored"); // group/key=value
        QTest::addColumn<QStringList>("rows");   // "row:field=text" of the used rows

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
                           "recordInfoList/Mics:Index=13", "recordInfoList/Mics:="}
            << QStringList{"11:Client:=", "13:Mics:="};
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

        loaded.row(9) = {"None", "not saved"};
        loaded.saveHeader(store);
        QVERIFY(!store.allKeys().join(',').contains("None"));
        ReportSettings again;
        again.clearHeader();
        again.loadHeader(store);
        QCOMPARE(again.headerPairs(), loaded.headerPairs());
    }

    void takeSelection_data()
    {
        QTest::addColumn<QString>("include"); // c circled, n non-circled, w wild
        QTest::addColumn<QString>("expected");
        // Takes: A circled, B not circled, C circled and wild, D wild only.
        for (const char* row : {"cn=A,B,C,D", "c=A,C", "w=C,D", "n=B,D", "=none"}) {
            const QString r(row);
            QTest::newRow(row) << r.section('=', 0, 0) << r.section('=', 1).remove("none");
        }
    }
    void takeSelection()
    {
        QFETCH(QString, include);
        QFETCH(QString, expected);
        AudioFileModel model;
        for (const QString& t : QStringList{"AY ", "B  ", "CYY", "D Y"})
            ReportTestKit::addTake(model,
                                   t.left(1) + "|2(POLY)|" + t.mid(1, 1) + '|' + t.mid(2, 1));
        ReportSettings s;
        s.includeCircled = include.contains('c');
        s.includeNonCircled = include.contains('n');
        s.includeWild = include.contains('w');
        // Given in reverse view order: the report follows the view.
        QStringList names;
        for (int r : ReportTakes::selectTakes(model, {3, 2, 1, 0}, s))
            names.prepend(model.data(model.index(r, 0)).toString());
        QCOMPARE(names.join(','), expected);
    }
};

QTEST_GUILESS_MAIN(TestReportSettings)
#include "tst_reportsettings.moc"

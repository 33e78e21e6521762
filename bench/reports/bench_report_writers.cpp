// The report writers alone, on take lists held in memory (no take files
// read): CSV of 10,000 takes and PDF of 1,000 takes of 8 named tracks with
// track names as columns. Best of three runs; prints seconds per report.
// Shows what the writers cost inside "velmora-cli report", whose time is
// mostly the reading of the takes.

#include "AudioFileModel.h"
#include "CsvReport.h"
#include "PdfReport.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "TakeColumns.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace
{

void fill(AudioFileModel& model, int takes, int tracks)
{
    using namespace TakeColumns;
    for (int i = 0; i < takes; ++i) {
        QStringList cells(Count);
        cells[FileName] = QStringLiteral("T%1.WAV").arg(i + 1, 5, 10, QLatin1Char('0'));
        cells[Channels] = QStringLiteral("%1(POLY)").arg(tracks);
        cells[Scene] = QStringLiteral("%1A").arg(i / 10 + 1);
        cells[Take] = QString::number(i % 10 + 1);
        cells[StartTC] = QStringLiteral("10:00:00:00");
        cells[Length] = QStringLiteral("00:01:30");
        cells[Circled] = i % 3 ? QStringLiteral(" ") : QStringLiteral("Y");
        cells[Wild] = QStringLiteral(" ");
        cells[Notes] = QStringLiteral("boom shadow, use lavs");
        model.insertRow(i, QModelIndex(), cells);
        QList<QStringList> t;
        for (int c = 1; c <= tracks; ++c)
            t << QStringList{QString::number(c), QString::number(c),
                             QStringLiteral("Track %1").arg(c), QString()};
        model.setTrackInfo(i, t);
    }
}

double bestOf3(const std::function<bool()>& run)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run())
            return -1;
        best = qMin(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;

    AudioFileModel csvTakes;
    fill(csvTakes, 10000, 2);
    ReportSettings csv;
    csv.format = ReportSettings::Csv;
    csv.trackNames = true;
    csv.notesRows = true;
    const double csvSeconds = bestOf3([&] {
        return CsvReport::createCSVFile(dir.filePath("r.csv"), csvTakes,
                                        ReportTakes::allRows(csvTakes), csv, nullptr);
    });

    AudioFileModel pdfTakes;
    fill(pdfTakes, 1000, 8);
    ReportSettings pdf;
    pdf.trackNames = true;
    const double pdfSeconds = bestOf3([&] {
        return PdfReport::createPDFFile(dir.filePath("r.pdf"), pdfTakes,
                                        ReportTakes::allRows(pdfTakes), pdf, nullptr);
    });

    std::printf("writer,takes,seconds\n");
    std::printf("csv,10000,%.3f\n", csvSeconds);
    std::printf("pdf,1000,%.3f\n", pdfSeconds);
    return csvSeconds < 0 || pdfSeconds < 0 ? 1 : 0;
}

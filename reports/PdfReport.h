#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AudioFileModel;
class ReportSettings;

// The sound report printed to PDF: landscape Letter, the title and the
// header block in three columns on the first page, a heading row of short
// column titles on every page, then the takes as rows (36 on the first page,
// 54 on each further one), every other take shaded, a page number at the
// bottom right. Text is set in Liberation Sans (metrically the face the
// column widths are measured for), with fallback faces for other scripts;
// text wider than its box ends in an ellipsis.
namespace PdfReport
{
constexpr int kFirstPageRows = 36;
constexpr int kPageRows = 54;
constexpr int kMaxPrintColumns = 18;
// Track names per track row in row format; the rest go on a continuation row.
constexpr int kTracksPerRow = 16;

// What one report prints, worked out before any page is drawn.
struct Plan {
    int trackCount = 0;       // track columns (0 unless Track Names is checked)
    QList<int> dataColumns;   // the report columns printed, in order
    QStringList titles;       // their short titles
    QList<QStringList> items; // print rows: take sequence number, then the cells
    int pages = 0;
};

// rows: the included takes (model rows) in report order.
Plan plan(const AudioFileModel& model, const QList<int>& rows, const ReportSettings& settings);
// The print rows of the takes: a data row (file name without extension,
// channel count without its label), then a track row (and a continuation
// row past 16 tracks) in row format, then a notes row when notes are rows.
QList<QStringList> prepareItemList(const AudioFileModel& model, const QList<int>& rows,
                                   const ReportSettings& settings, int trackCount,
                                   const QList<int>& dataColumns);
QString shortTitle(int reportColumn);
int pageCount(int items);
// Rows of takes with an odd sequence number are shaded.
bool isShaded(const QStringList& item);

// Called before each page is printed with the pages done so far and the
// page count, and once at the end; returning false stops printing there.
using Progress = std::function<bool(int done, int pages)>;

// Prints the report of the takes of viewRows (the take list's rows in view
// order) that the settings include. A stop through progress still leaves a
// complete, shorter PDF and counts as written (*cancelled set). False with
// *message set when there is no name, no take, no included take, or the
// file cannot be written completely; a file that existed is then left as
// it was and no partial file remains.
bool createPDFFile(const QString& path, const AudioFileModel& model, const QList<int>& viewRows,
                   const ReportSettings& settings, QString* message,
                   const Progress& progress = Progress(), bool* cancelled = nullptr);
QString failedMessage();
} // namespace PdfReport

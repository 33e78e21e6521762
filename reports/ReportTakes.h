#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class AudioFileModel;
class ReportSettings;

// What the writers read from the take list: which takes a report includes,
// the cells of a report column and the track names. Rows are rows of the
// model; the caller gives them in the order the take list shows them.
namespace ReportTakes
{
// The messages of a report that cannot be made.
QString noTakesMessage();      // the take list is empty
QString noneIncludedMessage(); // the include boxes leave no take
QString invalidNameMessage();  // no file name

// The rows of viewRows (in that order) whose take the include boxes admit:
// circled ("Y") with Circled, not circled (" ") with Non-Circled, wild ("Y")
// with Wild. Rows outside the model are skipped.
QList<int> selectTakes(const AudioFileModel& model, const QList<int>& viewRows,
                       const ReportSettings& settings);
// The rows a report to path prints (selectTakes), or the message why there
// is no report: no file name, an empty take list, no take included.
QString rowsForReport(const QString& path, const AudioFileModel& model,
                      const QList<int>& viewRows, const ReportSettings& settings,
                      QList<int>& rows);
// Every row of the model in model order.
QList<int> allRows(const AudioFileModel& model);

// The largest track count of the take list: the number before "(" in the
// channel label ("4(POLY)", "2(MONO)"); labels without "(" are ignored.
int widestTake(const AudioFileModel& model);
// The tracks the report prints: widestTake when Track Names is checked, else 0.
int trackCount(const AudioFileModel& model, const ReportSettings& settings);

// The take-list column of a report column (the one with the same title).
int modelColumn(int reportColumn);
QString cell(const AudioFileModel& model, int row, int reportColumn);
QString notes(const AudioFileModel& model, int row);
// The "Name" of each track of the take, "X" for a track without one.
QStringList trackNames(const AudioFileModel& model, int row);
} // namespace ReportTakes

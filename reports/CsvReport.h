#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class AudioFileModel;
class ReportSettings;

// The sound report as comma-separated text: "SOUND REPORT", the header block
// (three label/text pairs a line), the heading line and one line per take.
// UTF-8; every line ends with a single carriage return. A cell is put in
// double quotes (inner quotes doubled) when it holds a comma, a double
// quote, a carriage return or a line feed, and always for the header texts,
// File Name, Tape, Scene, Take, User, the notes row and the track names.
namespace CsvReport
{
QString quoted(const QString& cell);
// The cell as written in an unquoted place: quoted only when it must be.
QString plain(const QString& cell);

// The whole file for the takes at rows (model rows, in report order).
QByteArray text(const AudioFileModel& model, const QList<int>& rows,
                const ReportSettings& settings);

// Writes the report of the takes of viewRows (the take list's rows in view
// order) that the settings include. False with *message set when there is
// no name, no take, no included take, or the file cannot be written
// completely ("Failed to create csv file."); a file that existed is then
// left as it was and no partial file remains.
bool createCSVFile(const QString& path, const AudioFileModel& model, const QList<int>& viewRows,
                   const ReportSettings& settings, QString* message);
QString failedMessage();
} // namespace CsvReport

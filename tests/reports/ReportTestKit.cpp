#include "ReportTestKit.h"

#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "TakeColumns.h"
#include "TestUtil.h"

#include <QStandardPaths>

#include <iterator>

namespace ReportTestKit
{

void addTake(AudioFileModel& model, const QString& fields, const QStringList& tracks)
{
    using namespace TakeColumns;
    const int order[] = {FileName, Channels, Circled, Wild, Scene, Take, Tape, SampleRate, Notes};
    QStringList cells(Count);
    cells[Circled] = cells[Wild] = " ";
    const QStringList given = fields.split('|');
    for (int i = 0; i < given.size() && i < int(std::size(order)); ++i)
        cells[order[i]] = given.at(i);
    const int row = model.rowCount();
    model.insertRow(row, QModelIndex(), cells);
    QList<QStringList> info;
    for (int i = 0; i < tracks.size(); ++i)
        info << QStringList{QString::number(i + 1), QString::number(i + 1), tracks.at(i), ""};
    model.setTrackInfo(row, info);
}

void addTakes(AudioFileModel& model, int count)
{
    for (int i = 1; i <= count; ++i) {
        addTake(model, QString("T%1.WAV|2(POLY)| | |12|%2||48000").arg(i, 4, 10, QChar('0')).arg(i),
                {"Boom", "Lav"});
    }
}

void setColumns(ReportSettings& s, const QString& titles)
{
    for (int c = 0; c < ReportSettings::ColumnCount; ++c)
        s.setColumnDirect(c, titles.split(',').contains(ReportSettings::reportInfoList().at(c)));
}

QList<QStringList> readCsv(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QList<QStringList> records;
    QStringList record;
    QString cell;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == '"' && text.mid(i + 1, 1) == "\"") {
            cell += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ',' && c != '\r')) {
            cell += c;
        } else {
            record << cell;
            cell.clear();
            if (c == '\r') {
                records << record;
                record.clear();
            }
        }
    }
    return records;
}

bool havePoppler()
{
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

QStringList pdfPages(const QString& path)
{
    QByteArray out;
    if (TestUtil::run("pdftotext", {path, "-"}, &out) != 0)
        return {};
    QStringList pages = QString::fromUtf8(out).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace ReportTestKit

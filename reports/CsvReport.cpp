#include "CsvReport.h"

#include "AudioFileModel.h"
#include "ReportSettings.h"
#include "ReportTakes.h"

#include <QObject>
#include <QSaveFile>

namespace CsvReport
{

namespace
{
const QLatin1Char kSep(',');
const QLatin1Char kEnd('\r');

bool needsQuotes(const QString& cell)
{
    for (QChar ch : cell) {
        if (ch == QLatin1Char(',') || ch == QLatin1Char('"') || ch == QLatin1Char('\r') ||
            ch == QLatin1Char('\n'))
            return true;
    }
    return false;
}

// Appends cell in double quotes, inner quotes doubled.
void appendQuoted(QString& out, const QString& cell)
{
    out += QLatin1Char('"');
    if (!cell.contains(QLatin1Char('"'))) {
        out += cell;
    } else {
        for (QChar ch : cell) {
            if (ch == QLatin1Char('"'))
                out += QLatin1Char('"');
            out += ch;
        }
    }
    out += QLatin1Char('"');
}

void appendPlain(QString& out, const QString& cell)
{
    if (needsQuotes(cell))
        appendQuoted(out, cell);
    else
        out += cell;
}

// Report columns whose cells are always quoted.
bool quotedColumn(int c)
{
    return c == ReportSettings::FileName || c == ReportSettings::Tape ||
           c == ReportSettings::Scene || c == ReportSettings::Take || c == ReportSettings::User;
}

void headerBlock(QString& out, const QStringList& pairs)
{
    const int count = int(pairs.size() / 2);
    for (int line = 0; line <= count / 3; ++line) {
        for (int i = 0; i < 3; ++i) {
            const int p = line * 3 + i;
            if (p >= count)
                break;
            out += plain(pairs.at(2 * p)) + kSep + quoted(pairs.at(2 * p + 1));
            if (i < 2)
                out += kSep;
        }
        out += kEnd;
    }
}
} // namespace

QString failedMessage()
{
    return QObject::tr("Failed to create csv file.");
}

QString quoted(const QString& cell)
{
    QString q;
    appendQuoted(q, cell);
    return q;
}

QString plain(const QString& cell)
{
    return needsQuotes(cell) ? quoted(cell) : cell;
}

QByteArray text(const AudioFileModel& model, const QList<int>& rows, const ReportSettings& settings)
{
    QString out;
    out += QLatin1String("SOUND REPORT") + kEnd;
    headerBlock(out, settings.headerPairs());

    const int tracks = ReportTakes::trackCount(model, settings);
    QStringList heading;
    for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
        if (settings.column(c))
            heading << ReportSettings::reportInfoList().at(c);
    }
    if (settings.notesRows)
        heading << QStringLiteral("Notes");
    for (int t = 1; t <= tracks; ++t)
        heading << QStringLiteral("T%1").arg(t);
    out += heading.join(kSep) + kEnd;

    // Cells are appended to the text as they come: no line list per take.
    for (int r : rows) {
        bool first = true;
        auto separate = [&] {
            if (!first)
                out += kSep;
            first = false;
        };
        for (int c = 0; c < ReportSettings::ColumnCount; ++c) {
            if (!settings.column(c))
                continue;
            separate();
            const QString value = ReportTakes::cell(model, r, c);
            if (quotedColumn(c))
                appendQuoted(out, value);
            else
                appendPlain(out, value);
        }
        if (settings.notesRows) {
            separate();
            appendQuoted(out, ReportTakes::notes(model, r));
        }
        if (settings.trackNames) {
            for (const QString& name : ReportTakes::trackNames(model, r)) {
                separate();
                appendQuoted(out, name);
            }
        }
        out += kEnd;
    }
    return out.toUtf8();
}

bool createCSVFile(const QString& path, const AudioFileModel& model, const QList<int>& viewRows,
                   const ReportSettings& settings, QString* message)
{
    auto fail = [message](const QString& text) {
        if (message)
            *message = text;
        return false;
    };
    QList<int> rows;
    const QString problem = ReportTakes::rowsForReport(path, model, viewRows, settings, rows);
    if (!problem.isEmpty())
        return fail(problem);

    // Written beside the target and renamed over it once complete, so a
    // failed write leaves no partial report and an older report intact.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(failedMessage());
    const QByteArray bytes = text(model, rows, settings);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        file.cancelWriting();
        return fail(failedMessage());
    }
    return true;
}

} // namespace CsvReport

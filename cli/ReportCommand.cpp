#include "AudioFileModel.h"
#include "CliCommands.h"
#include "CsvReport.h"
#include "PdfReport.h"
#include "ReportSettings.h"
#include "ReportTakes.h"
#include "TakeListLoader.h"

#include <QSettings>

// velmora-cli report --format csv|pdf --output FILE [--include LIST] [--columns LIST]
//                    [--track-names|--track-names-rows] [--notes|--notes-rows]
//                    [--header "LABEL=TEXT"]... PATH...
//
// Writes the sound report of the takes found in PATHs (as "takes" lists
// them, in take-list order) with the writers of the Report Manager. Without
// --header the header rows are those the Report Manager keeps; --header
// replaces them. Exit status 0, 1 when a path failed or no report was
// written, 2 on a usage error, including a PDF past the column limit.

namespace
{

const char kUsage[] =
    "usage: velmora-cli report --format csv|pdf --output FILE [--include "
    "circled,non-circled,wild]\n"
    "           [--columns \"File Name,Scene,Take,...\"] [--track-names|--track-names-rows]\n"
    "           [--notes|--notes-rows] [--header \"Project:=Big Film\"]... PATH...\n";

struct Options {
    QString format;
    QString output;
    QStringList include;
    QStringList columns;
    bool columnsGiven = false;
    bool trackNames = false;
    bool trackNamesRows = false;
    bool notes = false;
    bool notesRows = false;
    QStringList headers;
    QStringList paths;
};

QStringList commaList(const QString& text)
{
    QStringList items;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        items << item.trimmed();
    return items;
}

// Parses the options; returns false with *error set on a usage error.
bool parse(const QStringList& args, Options& o, QString* error)
{
    bool options = true;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) {
                *error = a + QLatin1String(" needs a value");
                return false;
            }
            into = args.at(++i);
            return true;
        };
        QString v;
        if (!options || !a.startsWith(QLatin1String("--"))) {
            o.paths << a;
        } else if (a == QLatin1String("--")) {
            options = false;
        } else if (a == QLatin1String("--format")) {
            if (!value(o.format))
                return false;
        } else if (a == QLatin1String("--output")) {
            if (!value(o.output))
                return false;
        } else if (a == QLatin1String("--include")) {
            if (!value(v))
                return false;
            o.include = commaList(v);
        } else if (a == QLatin1String("--columns")) {
            if (!value(v))
                return false;
            o.columns = commaList(v);
            o.columnsGiven = true;
        } else if (a == QLatin1String("--header")) {
            if (!value(v))
                return false;
            o.headers << v;
        } else if (a == QLatin1String("--track-names")) {
            o.trackNames = true;
        } else if (a == QLatin1String("--track-names-rows")) {
            o.trackNamesRows = true;
        } else if (a == QLatin1String("--notes")) {
            o.notes = true;
        } else if (a == QLatin1String("--notes-rows")) {
            o.notesRows = true;
        } else {
            *error = QLatin1String("unknown option ") + a;
            return false;
        }
    }
    if (o.format != QLatin1String("csv") && o.format != QLatin1String("pdf")) {
        *error = QStringLiteral("--format must be csv or pdf");
        return false;
    }
    if (o.output.isEmpty() || o.paths.isEmpty()) {
        *error = QStringLiteral("--output and at least one PATH are needed");
        return false;
    }
    if ((o.trackNames && o.trackNamesRows) || (o.notes && o.notesRows)) {
        *error = QStringLiteral("a list and its row format exclude each other");
        return false;
    }
    return true;
}

// Builds the settings from the options; false with *error on a usage error.
bool toSettings(const Options& o, ReportSettings& s, QString* error)
{
    s.format = o.format == QLatin1String("csv") ? ReportSettings::Csv : ReportSettings::Pdf;
    if (!o.include.isEmpty()) {
        s.includeCircled = s.includeNonCircled = s.includeWild = false;
        for (const QString& item : o.include) {
            if (item == QLatin1String("circled"))
                s.includeCircled = true;
            else if (item == QLatin1String("non-circled"))
                s.includeNonCircled = true;
            else if (item == QLatin1String("wild"))
                s.includeWild = true;
            else {
                *error = QLatin1String("--include: unknown kind ") + item;
                return false;
            }
        }
    }
    if (o.columnsGiven) {
        for (int c = 0; c < ReportSettings::ColumnCount; ++c)
            s.setColumnDirect(c, false);
        for (const QString& title : o.columns) {
            const int c = int(ReportSettings::reportInfoList().indexOf(title));
            if (c < 0) {
                *error = QLatin1String("--columns: unknown column ") + title;
                return false;
            }
            s.setColumnDirect(c, true);
        }
    }
    if (o.notes)
        s.setColumnDirect(ReportSettings::Notes, true);
    s.notesRows = o.notesRows;
    s.trackNames = o.trackNames;
    s.trackNamesRows = o.trackNamesRows;

    if (o.headers.isEmpty()) {
        QSettings store;
        s.loadHeader(store);
        return true;
    }
    s.clearHeader();
    int producerRow = 1;
    int recordRow = ReportSettings::kFirstRecordRow;
    for (const QString& h : o.headers) {
        const qsizetype eq = h.indexOf(QLatin1Char('='));
        QString label = h.left(eq < 0 ? h.size() : eq).trimmed();
        if (!label.endsWith(QLatin1Char(':')))
            label += QLatin1Char(':');
        const QString text = eq < 0 ? QString() : h.mid(eq + 1);
        int* row = nullptr;
        int last = 0;
        if (ReportSettings::producerInfoList().indexOf(label) > 0) {
            row = &producerRow;
            last = ReportSettings::kLastProducerRow;
        } else if (ReportSettings::recordInfoList().indexOf(label) > 0) {
            row = &recordRow;
            last = ReportSettings::kLastRecordRow;
        } else {
            *error = QLatin1String("--header: unknown field ") + label;
            return false;
        }
        if (*row > last) {
            *error = QLatin1String("--header: too many fields like ") + label;
            return false;
        }
        s.row((*row)++) = {label, text};
    }
    return true;
}

} // namespace

int runReportCommand(CliContext& ctx)
{
    Options o;
    ReportSettings settings;
    QString error;
    if (!parse(ctx.args, o, &error) || !toSettings(o, settings, &error)) {
        ctx.err << "velmora-cli report: " << error << "\n" << kUsage;
        return 2;
    }

    AudioFileModel model;
    int rc = loadTakeList(o.paths, ctx.err, model);
    if (!settings.isValidColumnNumber(ReportTakes::widestTake(model))) {
        ctx.err << "velmora-cli report: " << ReportSettings::columnLimitMessage() << "\n";
        return 2;
    }
    const QList<int> rows = ReportTakes::allRows(model);
    QString message;
    const bool ok = settings.format == ReportSettings::Csv
                        ? CsvReport::createCSVFile(o.output, model, rows, settings, &message)
                        : PdfReport::createPDFFile(o.output, model, rows, settings, &message);
    if (!ok) {
        ctx.err << "velmora-cli report: " << o.output << ": " << message.simplified() << "\n";
        return 1;
    }
    return rc;
}

#include "CliCommands.h"
#include "JsonWriter.h"
#include "TakeColumns.h"
#include "TakeImporter.h"
#include "TakeJson.h"
#include "TakeListLoader.h"

#include <QFile>

// velmora-cli takes [--json] PATH...
//
// Builds the take list through the import of the take list (TakeImporter)
// from files and folders (a folder contributes its take files, one level) and
// prints one entry per take with the take's files in channel order.
// Read-only: files are opened with AudioFile::Open, which never creates or
// changes anything. Exit status 0, 1 when some path could not be used or a
// file ended up in no take, 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli takes [--json] PATH...\n";
constexpr size_t kOutputPiece = 64 * 1024; // bytes of JSON text written at once

QString padded(const QString& s, int width)
{
    return s.leftJustified(width, QLatin1Char(' '));
}

void printPlain(QTextStream& out, const QVector<StagedTake>& takes)
{
    using namespace TakeColumns;
    const int columns[] = {FileName, Channels, Scene, Take, StartTC, Length};
    QStringList titles;
    for (int c : columns)
        titles << headersList().at(c);
    titles << QStringLiteral("Files");

    QList<QStringList> lines;
    for (const StagedTake& t : takes) {
        QStringList line;
        for (int c : columns)
            line << t.cells.at(c);
        line << QString::number(t.files.size());
        lines << line;
    }
    QVector<int> widths(titles.size());
    for (int i = 0; i < titles.size(); ++i) {
        widths[i] = int(titles.at(i).size());
        for (const QStringList& l : lines)
            widths[i] = qMax(widths[i], int(l.at(i).size()));
    }
    auto printLine = [&](const QStringList& l) {
        QString text;
        for (int i = 0; i < l.size(); ++i)
            text += i + 1 < l.size() ? padded(l.at(i), widths[i] + 2) : l.at(i);
        out << text << "\n";
    };
    printLine(titles);
    for (int row = 0; row < lines.size(); ++row) {
        printLine(lines.at(row));
        for (const QString& f : takes.at(row).files)
            out << "  " << f << "\n";
    }
}

// One take of the JSON array: its 31 cells keyed by title (as "info --json"
// shows them), its files in channel order and its side tables.
void writeJsonTake(JsonWriter& w, const StagedTake& t)
{
    w.beginObject();
    w.key("columns");
    TakeJson::writeColumns(w, t.cells);
    w.key("files");
    w.beginArray();
    for (const QString& f : t.files)
        w.value(f);
    w.endArray();
    w.key("tracks");
    TakeJson::writeTable(w, t.tracks, TakeColumns::trackHeadersList());
    w.key("syncPoints");
    TakeJson::writeTable(w, t.syncPoints, TakeColumns::syncPointsHeadersList());
    w.key("history");
    TakeJson::writeRecord(w, t.history, TakeColumns::historyHeadersList());
    w.key("fileSet");
    TakeJson::writeRecord(w, t.fileSet, TakeColumns::fileSetHeadersList());
    w.endObject();
}

// The import's own path: folders bring their take files (one level); every
// path that brought no take is reported on err.
TakeImporter::Outcome importTakes(const QStringList& paths, QTextStream& err,
                                  const TakeImporter::TakeSink& sink = {})
{
    TakeImporter::Request request;
    request.paths = paths;
    request.origin = TakeImporter::Origin::CommandLine;
    const TakeImporter::Outcome found = TakeImporter::read(request, nullptr, sink);
    for (const ImportRejection& r : found.rejected) {
        err << "velmora-cli: " << r.path << ": ";
        switch (r.reason) {
        case ImportRejection::Reason::Missing:
            err << "no such file or folder\n";
            break;
        case ImportRejection::Reason::NotTakeName:
            err << "not a .wav or .bwf file\n";
            break;
        case ImportRejection::Reason::NotOpened:
            err << r.detail << "\n";
            break;
        case ImportRejection::Reason::NotGrouped:
            err << "in no take (channel index " << r.channelIndex
                    << " has no free slot in 0..63)\n";
            break;
        }
    }
    return found;
}

} // namespace

int loadTakeList(const QStringList& paths, QTextStream& err, AudioFileModel& model,
                 QList<QStringList>* filesOfRow)
{
    // Each take goes to the model as it is staged: no second copy of the list.
    const TakeImporter::Outcome found = importTakes(paths, err, [&](StagedTake&& t) {
        if (TakeImporter::addTo(model, t) && filesOfRow)
            filesOfRow->append(t.files);
    });
    return found.rejected.isEmpty() ? 0 : 1;
}

int runTakesCommand(CliContext& ctx)
{
    bool json = false;
    QStringList args;
    bool options = true;
    for (const QString& a : ctx.args) {
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--json")) {
            json = true;
        } else if (options && a.startsWith(QLatin1String("--"))) {
            ctx.err << "velmora-cli takes: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            args << a;
        }
    }
    if (args.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }

    if (!json) {
        const TakeImporter::Outcome found = importTakes(args, ctx.err);
        printPlain(ctx.out, found.takes);
        return found.rejected.isEmpty() ? 0 : 1;
    }
    // The JSON text is UTF-8 already: written as bytes, not through the text
    // stream, a take at a time as the import stages it, in pieces of about
    // 64 KiB, so that neither the takes nor the text are held whole.
    ctx.out.flush();
    QFile out;
    bool written = out.open(stdout, QIODevice::WriteOnly);
    std::string text;
    JsonWriter w(text);
    auto writeOut = [&] {
        written = written && out.write(text.data(), qint64(text.size())) == qint64(text.size());
        text.clear();
    };
    w.beginArray();
    const TakeImporter::Outcome found = importTakes(args, ctx.err, [&](StagedTake&& t) {
        writeJsonTake(w, t);
        if (text.size() >= kOutputPiece)
            writeOut();
    });
    w.endArray();
    writeOut();
    if (!written || !out.flush()) {
        ctx.err << "velmora-cli: cannot write the output\n";
        return 1;
    }
    return found.rejected.isEmpty() ? 0 : 1;
}

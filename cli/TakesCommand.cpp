#include "AudioFile.h"
#include "AudioFileModel.h"
#include "CliCommands.h"
#include "JsonWriter.h"
#include "KQHelper.h"
#include "TakeColumns.h"
#include "TakeJson.h"
#include "TakeListLoader.h"
#include "TakeParallel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <vector>

// velmora-cli takes [--json] PATH...
//
// Builds the take list exactly as an import does (AudioFileModel::setModelData)
// from files and folders (a folder contributes its take files, one level) and
// prints one entry per take with the take's files in channel order.
// Read-only: files are opened with AudioFile::Open, which never creates or
// changes anything. Exit status 0, 1 when some path could not be used or a
// file ended up in no take, 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli takes [--json] PATH...\n";

// Suffixes the import accepts for a file chosen by name.
bool importableSuffix(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.compare(QLatin1String("wav"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("bwf"), Qt::CaseInsensitive) == 0;
}

struct Inputs {
    QStringList paths; // absolute, in the order the import sees them
    int rc = 0;
};

Inputs expandPaths(const QStringList& args, QTextStream& err)
{
    Inputs in;
    for (const QString& arg : args) {
        const QFileInfo fi(arg);
        if (!fi.exists()) {
            err << "velmora-cli: " << arg << ": no such file or folder\n";
            in.rc = 1;
        } else if (fi.isDir()) {
            const QString folder = KQHelper::absolutePath(arg);
            const QDir dir(folder);
            for (const QString& name : KQHelper::takeFileNames(folder))
                in.paths << dir.filePath(name);
        } else if (!importableSuffix(arg)) {
            err << "velmora-cli: " << arg << ": not a .wav or .bwf file\n";
            in.rc = 1;
        } else {
            in.paths << KQHelper::absolutePath(arg);
        }
    }
    return in;
}

QString padded(const QString& s, int width)
{
    return s.leftJustified(width, QLatin1Char(' '));
}

void printPlain(QTextStream& out, const AudioFileModel& model, const QList<QStringList>& filesOfRow)
{
    using namespace TakeColumns;
    const int columns[] = {FileName, Channels, Scene, Take, StartTC, Length};
    QStringList titles;
    for (int c : columns)
        titles << headersList().at(c);
    titles << QStringLiteral("Files");

    QList<QStringList> lines;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList line;
        for (int c : columns)
            line << model.data(model.index(row, c)).toString();
        line << QString::number(filesOfRow.at(row).size());
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
        for (const QString& f : filesOfRow.at(row))
            out << "  " << f << "\n";
    }
}

// The takes as a JSON array: per take its 31 cells keyed by title (as
// "info --json" shows them), its files in channel order and its side tables.
QByteArray jsonTakes(const AudioFileModel& model, const QList<QStringList>& filesOfRow)
{
    std::string text;
    JsonWriter w(text);
    w.beginArray();
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < model.columnCount(); ++c)
            cells << model.data(model.index(row, c)).toString();
        w.beginObject();
        w.key("columns");
        TakeJson::writeColumns(w, cells);
        w.key("files");
        w.beginArray();
        for (const QString& f : filesOfRow.at(row))
            w.value(f);
        w.endArray();
        w.key("tracks");
        TakeJson::writeTable(w, model.trackInfo(row), TakeColumns::trackHeadersList());
        w.key("syncPoints");
        TakeJson::writeTable(w, model.syncPointInfo(row), TakeColumns::syncPointsHeadersList());
        w.key("history");
        TakeJson::writeRecord(w, model.historyInfo(row), TakeColumns::historyHeadersList());
        w.key("fileSet");
        TakeJson::writeRecord(w, model.fileSetInfo(row), TakeColumns::fileSetHeadersList());
        w.endObject();
    }
    w.endArray();
    return QByteArray::fromStdString(text);
}

} // namespace

int loadTakeList(const QStringList& args, QTextStream& err, AudioFileModel& model,
                 QList<QStringList>* filesOfRowOut)
{
    Inputs in = expandPaths(args, err);
    int rc = in.rc;

    // Open every file once, as the import does; the grouping reuses these
    // headers instead of reading the files again. Files are independent, so
    // they are opened several at a time; failures are reported in order.
    const int count = int(in.paths.size());
    std::vector<std::unique_ptr<AudioFile>> owned{size_t(count)};
    std::vector<char> opened(size_t(count), char(0));
    TakeParallel::forEach(count, [&](int i) {
        owned[size_t(i)] = std::make_unique<AudioFile>();
        opened[size_t(i)] = owned[size_t(i)]->Open(in.paths.at(i));
    });
    QList<AudioFile*> files;
    files.reserve(count);
    for (int i = 0; i < count; ++i) {
        if (opened[size_t(i)]) {
            files << owned[size_t(i)].get();
        } else {
            err << "velmora-cli: " << in.paths.at(i) << ": " << owned[size_t(i)]->errorText()
                << "\n";
            rc = 1;
        }
    }

    QList<AudioFileModel::ImportResult> results;
    model.setModelData(files, &results);

    QList<QStringList> filesOfRow;
    for (int row = 0; row < model.rowCount(); ++row)
        filesOfRow << QStringList();
    for (const AudioFileModel::ImportResult& r : results) {
        if (r.outcome == AudioFileModel::ImportOutcome::Added)
            filesOfRow[r.row] = r.takeFiles;
        else if (r.outcome == AudioFileModel::ImportOutcome::NotGrouped) {
            err << "velmora-cli: " << r.file->fileName() << ": in no take (channel index "
                << r.file->GetChanelIndex() << " has no free slot in 0..63)\n";
            rc = 1;
        }
    }
    // The headers are no longer needed; free them before printing.
    files.clear();
    TakeParallel::forEach(count, [&](int i) { owned[size_t(i)].reset(); });
    if (filesOfRowOut)
        *filesOfRowOut = filesOfRow;
    return rc;
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

    AudioFileModel model;
    QList<QStringList> filesOfRow;
    const int rc = loadTakeList(args, ctx.err, model, &filesOfRow);

    if (!json) {
        printPlain(ctx.out, model, filesOfRow);
        return rc;
    }
    // The JSON text is UTF-8 already: written as bytes, not through the text stream.
    ctx.out.flush();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(jsonTakes(model, filesOfRow)) < 0) {
        ctx.err << "velmora-cli: cannot write the output\n";
        return 1;
    }
    out.flush();
    return rc;
}

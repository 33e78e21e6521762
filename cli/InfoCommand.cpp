#include "AudioFile.h"
#include "CliCommands.h"
#include "OrderedParallel.h"
#include "TakeColumns.h"
#include "TakeJson.h"

#include <QFile>
#include <QFileInfo>

namespace {

struct InfoResult {
    std::string text; // the file's JSON element or its plain lines
    QString error;    // set when the path could not be read
};

InfoResult describe(const QString& path, bool json)
{
    InfoResult r;
    AudioFile file;
    const bool ok = file.Open(path);
    if (!ok)
        r.error = file.errorText();
    if (json) {
        r.text.reserve(16 * 1024);
        r.text = "    ";
        JsonWriter w(r.text, 1);
        if (ok)
            TakeJson::writeFile(w, file, path);
        else
            TakeJson::writeError(w, path, r.error);
        return r;
    }
    if (!ok)
        return r;
    const QStringList cells = TakeColumns::cells(file, QFileInfo(file.fileName()).fileName(), 1);
    const QStringList& titles = TakeColumns::headersList();
    QString s = QStringLiteral("== %1\n").arg(path);
    for (int i = 0; i < titles.size(); ++i)
        s += titles.at(i) + QStringLiteral(": ") + cells.at(i) + QLatin1Char('\n');
    s += QStringLiteral("Container: %1\n")
             .arg(file.m_info.fileType == SoundDefs::kFileTypeFlac ? "FLAC" : "WAVE");
    if (!file.m_info.damage.isEmpty())
        s += QStringLiteral("damaged: %1\n").arg(file.m_info.damage);
    for (const QStringList& t : file.GetTracksInfo()) {
        s += QStringLiteral("Track %1: %2").arg(t.at(0), t.at(2));
        if (!t.at(3).isEmpty())
            s += QStringLiteral(" (%1)").arg(t.at(3));
        s += QLatin1Char('\n');
    }
    r.text = (s + QLatin1Char('\n')).toStdString();
    return r;
}

} // namespace

// velmora-cli info [--json] PATH...
// Opens each path read-only; a path that is missing, a folder or not a take
// is reported on stderr and makes the exit status 1, after every other path
// was printed. Never creates, changes or locks a file. Files are read on all
// cores and printed in the order given.
int runInfoCommand(CliContext& ctx)
{
    bool json = false;
    QStringList paths;
    for (const QString& a : ctx.args) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a.startsWith(QLatin1String("--")) && paths.isEmpty() && a != QLatin1String("--")) {
            ctx.err << "velmora-cli info: unknown option " << a << "\n"
                    << "usage: velmora-cli info [--json] PATH...\n";
            return 2;
        } else
            paths << a;
    }
    if (paths.isEmpty()) {
        ctx.err << "usage: velmora-cli info [--json] PATH...\n";
        return 2;
    }

    ctx.out.flush();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly)) {
        ctx.err << "velmora-cli: cannot write the output\n";
        return 1;
    }
    int rc = 0;
    if (json)
        out.write("[\n");
    orderedParallel<InfoResult>(
        int(paths.size()), [&](int i) { return describe(paths.at(i), json); },
        [&](int i, const InfoResult& r) {
            if (!r.error.isEmpty()) {
                ctx.err << "velmora-cli: " << paths.at(i) << ": " << r.error << "\n";
                ctx.err.flush();
                rc = 1;
            }
            if (json && i > 0)
                out.write(",\n");
            out.write(r.text.data(), qint64(r.text.size()));
        });
    if (json)
        out.write("\n]\n");
    out.flush();
    return rc;
}

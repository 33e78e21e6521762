#include "AudioFile.h"
#include "CliCommands.h"
#include "TakeColumns.h"
#include "TakeJson.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

// velmora-cli info [--json] PATH...
// Opens each path read-only; a path that is missing, a folder or not a take
// is reported on stderr and makes the exit status 1, after every other path
// was printed. Never creates, changes or locks a file.
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

    int rc = 0;
    QJsonArray all;
    for (const QString& path : paths) {
        AudioFile file;
        if (!file.Open(path)) {
            ctx.err << "velmora-cli: " << path << ": " << file.errorText() << "\n";
            rc = 1;
            if (json)
                all.append(TakeJson::errorObject(path, file.errorText()));
            continue;
        }
        if (json) {
            all.append(TakeJson::fileObject(file, path));
            continue;
        }
        const QStringList cells =
            TakeColumns::cells(file, QFileInfo(file.fileName()).fileName(), 1);
        const QStringList& titles = TakeColumns::headersList();
        ctx.out << "== " << path << "\n";
        for (int i = 0; i < titles.size(); ++i)
            ctx.out << titles.at(i) << ": " << cells.at(i) << "\n";
        ctx.out << "Container: " << (file.m_info.fileType == SoundDefs::kFileTypeFlac ? "FLAC" : "WAVE")
                << "\n";
        for (const QStringList& t : file.GetTracksInfo())
            ctx.out << "Track " << t.at(0) << ": " << t.at(2)
                    << (t.at(3).isEmpty() ? QString() : QStringLiteral(" (%1)").arg(t.at(3))) << "\n";
        ctx.out << "\n";
    }
    if (json)
        ctx.out << QJsonDocument(all).toJson(QJsonDocument::Indented);
    return rc;
}

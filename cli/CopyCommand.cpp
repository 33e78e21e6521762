#include "CliCommands.h"
#include "OpsCliSupport.h"
#include "TakeCopier.h"

#include <QFileInfo>

// velmora-cli copy --to DIR [--overwrite] [--quiet] PATH...
//
// Copies each take file into DIR under its own name through the copy service
// (TakeCopier: the headers are written fresh, the audio bytes unchanged).
// A destination equal to the source is refused; an existing destination is
// kept unless --overwrite is given (it is then replaced once the copy is
// complete). Exit status 0, 1 when any file failed, 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli copy --to DIR [--overwrite] [--quiet] PATH...\n";

} // namespace

int runCopyCommand(CliContext& ctx)
{
    OpsCli::ignoreFileSizeSignal();
    QString dir;
    OpsCli::CommonArgs args;
    const auto keep = [&dir](const QString& v) { return !(dir = v).isEmpty(); };
    if (!OpsCli::parseArgs(ctx, "copy", kUsage, true, {{"--to", keep}}, args))
        return 2;
    const QStringList& paths = args.paths;
    const bool quiet = args.quiet;
    const bool overwrite = args.overwrite;
    if (dir.isEmpty() || paths.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }
    if (!QFileInfo(dir).isDir()) {
        ctx.err << "velmora-cli: " << dir << ": no such folder\n";
        return 1;
    }

    TakeCopier copier;
    copier.setDestination(dir);
    copier.setOverwrite(overwrite);
    OpsProgress progress(ctx.err, quiet);
    int rc = 0;
    QObject::connect(&copier, &TakeBatch::itemProgress, [&](int index, quint32 percent) {
        progress.show(QStringLiteral("copy %1").arg(QFileInfo(paths.at(index)).fileName()),
                      percent);
    });
    QObject::connect(&copier, &TakeBatch::itemFinished, [&](int, const TakeBatch::ItemResult& r) {
        progress.clear();
        if (r.outcome == TakeBatch::Outcome::Done) {
            ctx.out << r.source << " -> " << r.target << ": copied\n";
            return;
        }
        QString error = r.reason.isEmpty() ? QStringLiteral("the copy failed") : r.reason;
        if (r.outcome == TakeBatch::Outcome::Skipped)
            error += QStringLiteral(" (--overwrite replaces it)");
        ctx.out.flush();
        ctx.err << OpsCli::failureLine(r.source, error) << "\n";
        ctx.err.flush();
        rc = 1;
    });
    copier.run(paths, false);
    return rc;
}

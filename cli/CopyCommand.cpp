#include "AudioThread.h"
#include "CliCommands.h"
#include "OpsCliSupport.h"
#include "SafeFileOps.h"

#include <QDir>
#include <QFileInfo>

// velmora-cli copy --to DIR [--overwrite] [--quiet] PATH...
//
// Copies each take file into DIR under its own name (the copy operation: the
// headers are written fresh from the metadata, the audio bytes unchanged).
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
    QStringList paths;
    bool quiet = false;
    bool overwrite = false;
    bool endOfOptions = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const QString& o = a.at(i);
        if (endOfOptions || !o.startsWith(QLatin1String("--")))
            paths << o;
        else if (o == QLatin1String("--"))
            endOfOptions = true;
        else if (o == QLatin1String("--quiet"))
            quiet = true;
        else if (o == QLatin1String("--overwrite"))
            overwrite = true;
        else if (o == QLatin1String("--to") && OpsCli::takeValue(a, i, dir))
            continue;
        else {
            ctx.err << "velmora-cli copy: bad option " << o << "\n" << kUsage;
            return 2;
        }
    }
    if (dir.isEmpty() || paths.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }
    if (!QFileInfo(dir).isDir()) {
        ctx.err << "velmora-cli: " << dir << ": no such folder\n";
        return 1;
    }

    AudioThread thread;
    OpsProgress progress(ctx.err, quiet);
    int rc = 0;
    for (QString src : paths) {
        QString dst = QDir(dir).filePath(QFileInfo(src).fileName());
        QString error;
        if (SafeFileOps::samePath(src, dst)) {
            error = AudioThread::kMsgSameSource;
        } else if (!overwrite && (QFileInfo::exists(dst) || QFileInfo(dst).isSymLink())) {
            error = QStringLiteral("%1 already exists (--overwrite replaces it)").arg(dst);
        } else {
            const OpsCli::Result r = OpsCli::runOperation(
                thread, [&] { return thread.Copy(dst, src); }, progress,
                QStringLiteral("copy %1").arg(QFileInfo(src).fileName()));
            if (r.ok)
                ctx.out << src << " -> " << dst << ": copied\n";
            else
                error = r.error.isEmpty() ? QStringLiteral("the copy failed") : r.error;
        }
        if (!error.isEmpty()) {
            ctx.out.flush();
            ctx.err << "velmora-cli: " << src << ": " << error << "\n";
            ctx.err.flush();
            rc = 1;
        }
    }
    return rc;
}

#include "AudioFile.h"
#include "CliCommands.h"
#include "KQHelper.h"
#include "OpsCliSupport.h"
#include "TakeFolderCache.h"
#include "TakeRenamer.h"

#include <QFileInfo>
#include <QSet>

// velmora-cli rename [--quiet] PATH...
//
// Renames every file of the take of each PATH after its scene and take, as
// the editor's Rename does (TakeRenamer): scene 12A, take 3 turn T003_2.wav
// into 12AT3_2.wav, the FILENAME entries follow. Names are made safe ("/",
// "\" and control characters become "_"); a file whose name would be unusable
// is refused and reported; one whose new name exists already, or is its
// current name, is skipped. Prints per file "OLD -> NEW: renamed" or
// "OLD: skipped (...)". Exit status 1 when any file failed or was refused,
// 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli rename [--quiet] PATH...\n";

// The files of the takes of paths, in take order and within a take in
// channel order, each once.
QStringList takeFilesOf(const QStringList& paths, QStringList& unreadable)
{
    QStringList files;
    QSet<QString> seen;
    TakeFolderCache cache; // the takes of one run share their folder reads
    for (const QString& p : paths) {
        AudioFile file;
        if (!file.Open(p)) {
            unreadable << QStringLiteral("%1: %2").arg(p, file.errorText());
            continue;
        }
        QStringList takeFiles;
        QString name;
        KQHelper::getTakeFiles(cache, &file, takeFiles, name);
        if (takeFiles.isEmpty())
            takeFiles << KQHelper::absolutePath(p);
        for (const QString& f : takeFiles) {
            if (!seen.contains(f)) {
                seen.insert(f);
                files << f;
            }
        }
    }
    return files;
}

} // namespace

int runRenameCommand(CliContext& ctx)
{
    OpsCli::ignoreFileSizeSignal();
    OpsCli::CommonArgs args;
    if (!OpsCli::parseArgs(ctx, "rename", kUsage, false, {}, args))
        return 2;
    const QStringList& paths = args.paths;
    const bool quiet = args.quiet;
    if (paths.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }

    int rc = 0;
    QStringList unreadable;
    const QStringList files = takeFilesOf(paths, unreadable);
    for (const QString& u : unreadable) {
        ctx.err << "velmora-cli: " << u << "\n";
        rc = 1;
    }
    if (files.isEmpty())
        return rc;

    TakeRenamer renamer;
    OpsProgress progress(ctx.err, quiet);
    QObject::connect(&renamer, &TakeBatch::itemProgress, [&](int index, quint32 percent) {
        progress.show(QStringLiteral("rename %1").arg(QFileInfo(files.at(index)).fileName()),
                      percent);
    });
    QObject::connect(&renamer, &TakeBatch::itemFinished, [&](int, const TakeBatch::ItemResult& r) {
        progress.clear();
        switch (r.outcome) {
        case TakeBatch::Outcome::Done:
            ctx.out << r.source << " -> " << r.target << ": renamed\n";
            if (!r.reason.isEmpty())
                ctx.err << "velmora-cli: " << r.reason << "\n";
            break;
        case TakeBatch::Outcome::Skipped:
            ctx.out << r.source << ": skipped (" << r.reason << ")\n";
            break;
        default:
            ctx.out.flush();
            ctx.err << OpsCli::failureLine(r.source, r.reason) << "\n";
            ctx.err.flush();
            rc = 1;
            break;
        }
    });
    renamer.run(files, false);
    return rc;
}

#include "AudioFile.h"
#include "AudioThread.h"
#include "CliCommands.h"
#include "OpsCliSupport.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

// velmora-cli split --to DIR --output TRACKS [--output TRACKS]... [--overwrite]
//                   [--quiet] FILE...
//
// Splits each polyphonic take file into one file per --output. TRACKS is a
// comma list of 1-based tracks of the source ("1,3"); the output is named
// like the split window names it: DIR/ + base name + "_1_3" + "." + the
// source's extension. A track the source does not have fails that file.
// Existing outputs are kept unless --overwrite is given. Exit status 0, 1
// when any file failed, 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli split --to DIR --output TRACKS [--output TRACKS]... "
                      "[--overwrite] [--quiet] FILE...\n";

struct OutputRule {
    QVector<int> tracks; // 1-based, ascending, no repeats
    QString suffix;      // "_1_3"
    quint32 mask = 0;    // bit t-1 for track t
};

bool parseRule(const QString& text, OutputRule& rule)
{
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int t = part.trimmed().toInt(&ok, 10);
        if (!ok || t < 1 || t > 32)
            return false;
        if (!rule.tracks.contains(t))
            rule.tracks.append(t);
    }
    std::sort(rule.tracks.begin(), rule.tracks.end());
    for (int t : rule.tracks) {
        rule.suffix += QStringLiteral("_%1").arg(t);
        rule.mask |= 1u << (t - 1);
    }
    return !rule.tracks.isEmpty();
}

} // namespace

int runSplitCommand(CliContext& ctx)
{
    OpsCli::ignoreFileSizeSignal();
    QString dir;
    QVector<OutputRule> rules;
    OpsCli::CommonArgs args;
    const auto keepDir = [&dir](const QString& v) { return !(dir = v).isEmpty(); };
    const auto addRule = [&](const QString& v) {
        OutputRule r;
        if (!parseRule(v, r)) {
            ctx.err << "velmora-cli split: --output takes a comma list of tracks 1 to 32\n";
            return false;
        }
        rules.append(r);
        return true;
    };
    if (!OpsCli::parseArgs(ctx, "split", kUsage, true, {{"--to", keepDir}, {"--output", addRule}},
                           args))
        return 2;
    const QStringList& files = args.paths;
    const bool quiet = args.quiet;
    const bool overwrite = args.overwrite;
    if (dir.isEmpty() || rules.isEmpty() || files.isEmpty()) {
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
    for (const QString& src : files) {
        const QFileInfo fi(src);
        QString error;
        AudioFile probe(true);
        QStringList outputs;
        QVector<unsigned int> masks;
        if (!probe.Open(src)) {
            error = probe.errorText();
        } else {
            const QString ext = fi.suffix();
            for (const OutputRule& r : rules) {
                if (r.tracks.last() > probe.GetChannels()) {
                    error = QStringLiteral("has %1 tracks; there is no track %2")
                                .arg(probe.GetChannels())
                                .arg(r.tracks.last());
                    break;
                }
                QString name = fi.completeBaseName() + r.suffix;
                if (!ext.isEmpty())
                    name += QLatin1Char('.') + ext;
                const QString out = QDir(dir).filePath(name);
                if (!overwrite && (QFileInfo::exists(out) || QFileInfo(out).isSymLink()) &&
                    !outputs.contains(out)) {
                    error = QStringLiteral("%1 already exists (--overwrite replaces it)").arg(out);
                    break;
                }
                outputs << out;
                masks << r.mask;
            }
        }
        if (error.isEmpty()) {
            const OpsCli::Result r = OpsCli::runOperation(
                thread, [&] { return thread.Split(src, outputs, masks); }, progress,
                QStringLiteral("split %1").arg(fi.fileName()));
            if (r.ok) {
                for (const QString& out : outputs)
                    ctx.out << "wrote " << out << "\n";
            } else {
                error = !r.error.isEmpty() ? r.error
                        : r.started        ? QStringLiteral("the split failed")
                                           : QStringLiteral("nothing to split");
            }
        }
        if (!error.isEmpty()) {
            ctx.out.flush();
            ctx.err << OpsCli::failureLine(src, error) << "\n";
            ctx.err.flush();
            rc = 1;
        }
    }
    return rc;
}

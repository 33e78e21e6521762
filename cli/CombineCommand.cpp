#include "AudioFile.h"
#include "AudioThread.h"
#include "CliCommands.h"
#include "OpsCliSupport.h"
#include "SafeFileOps.h"

#include <QFileInfo>

#include <memory>
#include <vector>

// velmora-cli combine --output OUT [--overwrite] [--quiet] PATH...
//
// Interleaves mono take files, in the order given, into one polyphonic file,
// checked as the manual combine checks them: at least two files, all mono,
// equal in sample rate, total samples, bit depth and timestamp. OUT must not
// be one of the sources; an existing OUT is kept unless --overwrite is given.
// Exit status 0, 1 when the combine failed or was refused, 2 on a usage error.

namespace
{

const char kUsage[] = "usage: velmora-cli combine --output OUT [--overwrite] [--quiet] PATH...\n";
const QString kAtLeastTwo = QStringLiteral("Please select at least two files to combine.");

} // namespace

int runCombineCommand(CliContext& ctx)
{
    OpsCli::ignoreFileSizeSignal();
    QString output;
    OpsCli::CommonArgs args;
    const auto keep = [&output](const QString& v) { return !(output = v).isEmpty(); };
    if (!OpsCli::parseArgs(ctx, "combine", kUsage, true, {{"--output", keep}}, args))
        return 2;
    const QStringList& sources = args.paths;
    const bool quiet = args.quiet;
    const bool overwrite = args.overwrite;
    if (output.isEmpty() || sources.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }
    if (sources.size() < 2) {
        ctx.err << "velmora-cli combine: " << kAtLeastTwo << "\n" << kUsage;
        return 2;
    }

    auto refuse = [&](const QString& path, const QString& why) {
        ctx.err << OpsCli::failureLine(path, why) << "\n";
        return 1;
    };
    std::vector<std::unique_ptr<AudioFile>> files;
    for (const QString& s : sources) {
        auto f = std::make_unique<AudioFile>();
        if (!f->Open(s))
            return refuse(s, f->errorText());
        if (!f->m_info.damage.isEmpty())
            return refuse(s, AudioThread::damagedMessage(s, f->m_info.damage));
        files.push_back(std::move(f));
    }
    const AudioFile& first = *files.front();
    for (size_t i = 0; i < files.size(); ++i) {
        const AudioFile& f = *files[i];
        if (f.GetChannels() != 1 || f.GetSampleRate() != first.GetSampleRate() ||
            f.GetTotalSamples() != first.GetTotalSamples() ||
            f.GetBitDepth() != first.GetBitDepth() ||
            f.m_info.timeReference != first.m_info.timeReference)
            return refuse(sources.at(int(i)), AudioThread::kMsgCannotCombine);
    }
    for (const QString& s : sources) {
        if (SafeFileOps::samePath(s, output))
            return refuse(output, AudioThread::kMsgSameSource);
    }
    if (!overwrite && (QFileInfo::exists(output) || QFileInfo(output).isSymLink()))
        return refuse(output, QStringLiteral("already exists (--overwrite replaces it)"));
    files.clear();

    AudioThread thread;
    OpsProgress progress(ctx.err, quiet);
    const OpsCli::Result r = OpsCli::runOperation(
        thread, [&] { return thread.Combine(output, sources); }, progress,
        QStringLiteral("combine %1").arg(QFileInfo(output).fileName()));
    if (!r.ok)
        return refuse(output, r.error.isEmpty() ? QStringLiteral("the combine failed") : r.error);
    ctx.out << "wrote " << output << "\n";
    return 0;
}

#include "AudioFile.h"
#include "CliCommands.h"
#include "KQHelper.h"
#include "OpsCliSupport.h"
#include "TakeFolderCache.h"
#include "TakeSaver.h"

#include <QFileInfo>

// velmora-cli set [FIELD OPTIONS] [--quiet] PATH...
//
// Writes the given fields into each take file through the save service
// (TakeSaver): in place when the new metadata fits, otherwise by a full
// rewrite through an "_updatebackup" file that is removed once the new file
// is on the disk. Prints per file "updated in place" or "rewritten". Every
// path is tried; exit status 1 when any failed (stderr names the file and the
// reason), 2 on a usage error. The take name is written into every path given.
// A --track outside the take (of a mono file: outside its group) fails that
// file before anything is written. --rebuild-ixml lets a take whose iXML does
// not parse be written: the iXML is rebuilt from what was read, and what it
// held beyond that is lost (without it such a take is refused).

namespace
{

const char kUsage[] =
    "usage: velmora-cli set [--project TEXT] [--scene TEXT] [--take TEXT] [--tape TEXT]\n"
    "                       [--note TEXT] [--ubits TEXT] [--user TEXT] [--circled yes|no]\n"
    "                       [--wild yes|no] [--frame-rate RATE] [--sample-rate N]\n"
    "                       [--timestamp SAMPLES] [--track CH=NAME[:FUNCTION]]...\n"
    "                       [--rebuild-ixml] [--quiet] PATH...\n"
    "  --rebuild-ixml  rebuilds the iXML from what was read when it does not parse;\n"
    "                  what it held beyond that is lost\n";

int usage(CliContext& ctx, const QString& why)
{
    if (!why.isEmpty())
        ctx.err << "velmora-cli set: " << why << "\n";
    ctx.err << kUsage;
    return 2;
}

bool yesNo(const QString& v, std::optional<QString>& out)
{
    if (v == QLatin1String("yes"))
        out = QStringLiteral("Y");
    else if (v == QLatin1String("no"))
        out = QStringLiteral(" ");
    else
        return false;
    return true;
}

// "CH=NAME[:FUNCTION]": the name ends at the first ':'.
bool parseTrack(const QString& v, TrackEdit& t)
{
    const int eq = v.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    bool ok = false;
    t.channel = v.left(eq).toInt(&ok, 10);
    if (!ok || t.channel < 1 || t.channel > 64)
        return false;
    const QString rest = v.mid(eq + 1);
    const int colon = rest.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        t.name = rest;
    } else {
        t.name = rest.left(colon);
        t.function = rest.mid(colon + 1);
    }
    return true;
}

// The channel indices of the tracks of the take at path: its own, or for a
// file of a mono group those of every file of the group. Empty when it
// cannot be read (the save reports that).
QVector<int> takeChannels(TakeFolderCache& cache, const QString& path)
{
    AudioFile file;
    if (!file.Open(path))
        return {};
    QVector<int> channels;
    const auto add = [&channels](const AudioFile& f) {
        for (const SoundDefs::AudioChannelInfo& t : f.m_info.channelList)
            if (!channels.contains(t.channelIndex))
                channels << t.channelIndex;
    };
    if (file.GetChannels() == 1) {
        QStringList files;
        QString name;
        KQHelper::getTakeFiles(cache, &file, files, name);
        for (const QString& f : files) {
            AudioFile member;
            if (member.Open(f))
                add(member);
        }
    }
    add(file);
    return channels;
}

} // namespace

int runSetCommand(CliContext& ctx)
{
    OpsCli::ignoreFileSizeSignal();
    TakeEdits e;
    QStringList paths;
    bool quiet = false;
    bool endOfOptions = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const QString& o = a.at(i);
        if (endOfOptions || !o.startsWith(QLatin1String("--"))) {
            paths << o;
            continue;
        }
        if (o == QLatin1String("--")) {
            endOfOptions = true;
            continue;
        }
        if (o == QLatin1String("--quiet")) {
            quiet = true;
            continue;
        }
        if (o == QLatin1String("--rebuild-ixml")) {
            e.rebuildIxml = true;
            continue;
        }
        QString v;
        if (!OpsCli::takeValue(a, i, v))
            return usage(ctx, QStringLiteral("%1 needs a value").arg(o));
        if (o == QLatin1String("--project"))
            e.project = v;
        else if (o == QLatin1String("--scene"))
            e.scene = v;
        else if (o == QLatin1String("--take"))
            e.take = v;
        else if (o == QLatin1String("--tape"))
            e.tape = v;
        else if (o == QLatin1String("--note"))
            e.notes = v;
        else if (o == QLatin1String("--ubits"))
            e.ubits = v;
        else if (o == QLatin1String("--user"))
            e.user = v;
        else if (o == QLatin1String("--circled")) {
            if (!yesNo(v, e.circled))
                return usage(ctx, QStringLiteral("--circled takes yes or no"));
        } else if (o == QLatin1String("--wild")) {
            if (!yesNo(v, e.wild))
                return usage(ctx, QStringLiteral("--wild takes yes or no"));
        } else if (o == QLatin1String("--frame-rate")) {
            if (!AudioFile::m_userPresentation.contains(v))
                return usage(ctx, QStringLiteral("unknown frame rate \"%1\"; one of: %2")
                                      .arg(v, AudioFile::m_userPresentation.join(", ")));
            e.frameRate = v;
        } else if (o == QLatin1String("--sample-rate")) {
            bool ok = false;
            const int rate = v.toInt(&ok, 10);
            if (!ok || !AudioFile::m_sampleRates.contains(rate)) {
                QStringList rates;
                for (int r : AudioFile::m_sampleRates)
                    rates << QString::number(r);
                return usage(ctx, QStringLiteral("unknown sample rate \"%1\"; one of: %2")
                                      .arg(v, rates.join(", ")));
            }
            e.sampleRate = QString::number(rate);
        } else if (o == QLatin1String("--timestamp")) {
            bool ok = false;
            const qulonglong samples = v.toULongLong(&ok, 10);
            if (!ok || v.startsWith(QLatin1Char('+')) || v.startsWith(QLatin1Char('-')))
                return usage(ctx, QStringLiteral("--timestamp takes a sample count"));
            e.samplesSinceMidnight = QString::number(samples);
        } else if (o == QLatin1String("--track")) {
            TrackEdit t;
            if (!parseTrack(v, t))
                return usage(ctx, QStringLiteral("--track takes CH=NAME[:FUNCTION], CH 1 to 64"));
            e.tracks.append(t);
        } else {
            return usage(ctx, QStringLiteral("unknown option %1").arg(o));
        }
    }
    if (paths.isEmpty())
        return usage(ctx, QStringLiteral("no take file given"));
    if (e.isEmpty())
        return usage(ctx, QStringLiteral("no field to set"));

    int rc = 0;
    if (!e.tracks.isEmpty()) {
        QStringList fit;
        TakeFolderCache cache; // the paths of one run share their folder reads
        for (const QString& p : paths) {
            const QVector<int> channels = takeChannels(cache, p);
            const QString problem = channels.isEmpty() ? QString() : e.trackProblem(channels);
            if (problem.isEmpty()) {
                fit << p;
                continue;
            }
            ctx.err << OpsCli::failureLine(p, problem) << "\n";
            rc = 1;
        }
        paths = fit;
        if (paths.isEmpty())
            return rc;
    }

    TakeSaver saver;
    OpsProgress progress(ctx.err, quiet);
    QObject::connect(&saver, &TakeBatch::itemProgress, [&](int index, quint32 percent) {
        progress.show(QStringLiteral("set %1").arg(QFileInfo(paths.at(index)).fileName()), percent);
    });
    QObject::connect(&saver, &TakeBatch::itemFinished, [&](int, const TakeBatch::ItemResult& r) {
        progress.clear();
        if (r.outcome == TakeBatch::Outcome::Done) {
            ctx.out << r.source << (r.inPlace ? ": updated in place\n" : ": rewritten\n");
            return;
        }
        ctx.out.flush();
        ctx.err << OpsCli::failureLine(r.source, r.reason) << "\n";
        ctx.err.flush();
        rc = 1;
    });
    saver.run(paths, e, false, false);
    return rc;
}

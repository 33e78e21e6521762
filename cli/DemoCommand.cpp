#include "CliCommands.h"
#include "DemoTakeWriter.h"

#include <QDir>

// velmora-cli demo DIR [--takes N] [--seconds S] [--channels C] [--first N]
//                      [--layout mixed|mono|poly]
int runDemoCommand(CliContext& ctx)
{
    DemoTakeWriter::Options o;
    QString dir;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        bool ok = true;
        if (a[i] == QLatin1String("--takes") && i + 1 < a.size())
            o.takes = a[++i].toInt(&ok);
        else if (a[i] == QLatin1String("--seconds") && i + 1 < a.size())
            o.seconds = a[++i].toDouble(&ok);
        else if (a[i] == QLatin1String("--channels") && i + 1 < a.size())
            o.channels = a[++i].toInt(&ok);
        else if (a[i] == QLatin1String("--first") && i + 1 < a.size())
            o.firstTake = a[++i].toInt(&ok);
        else if (a[i] == QLatin1String("--layout") && i + 1 < a.size()) {
            const QString l = a[++i];
            ok = l == QLatin1String("mixed") || l == QLatin1String("mono") ||
                 l == QLatin1String("poly");
            o.layout = l == QLatin1String("mono")   ? DemoTakeWriter::Layout::Mono
                       : l == QLatin1String("poly") ? DemoTakeWriter::Layout::Poly
                                                    : DemoTakeWriter::Layout::Mixed;
        }
        else if (!a[i].startsWith(QLatin1String("--")) && dir.isEmpty())
            dir = a[i];
        else
            ok = false;
        if (!ok) {
            ctx.err << "usage: velmora-cli demo DIR [--takes N] [--seconds S] [--channels C] "
                       "[--first N] [--layout mixed|mono|poly]\n";
            return 2;
        }
    }
    if (dir.isEmpty()) {
        ctx.err << "usage: velmora-cli demo DIR [--takes N] [--seconds S] [--channels C]\n";
        return 2;
    }
    if (!QDir().mkpath(dir)) {
        ctx.err << "velmora-cli: " << dir << ": cannot create the folder\n";
        return 1;
    }
    DemoTakeWriter writer;
    QStringList written;
    if (!writer.write(dir, o, &written)) {
        ctx.err << "velmora-cli: " << writer.errorText() << "\n";
        return 1;
    }
    ctx.out << "wrote " << written.size() << " files in " << dir << "\n";
    return 0;
}

#include "CliCommands.h"

#include <QCoreApplication>

#include <cstdio>
#include <iterator>

namespace
{

const CliCommand kCommands[] = {
    {"info", "info [--json] PATH...      print the metadata of take files", runInfoCommand},
    {"demo", "demo DIR [--takes N] [--seconds S]   write sample takes into DIR", runDemoCommand},
    {"takes", "takes [--json] PATH...     list files and folders as takes", runTakesCommand},
#ifdef VELMORA_HAVE_ENGINE
    {"recorder",
     "recorder --port PORT COMMAND   talk to a recorder: status, watch, record, stop, play,\n"
     "                               takes, set-take ID FIELD VALUE, false-take ID",
     runRecorderCommand},
#endif
    {"set",
     "set [--project|--scene|--take|--tape|--note|--ubits|--user TEXT] [--circled|--wild yes|no]\n"
     "    [--frame-rate RATE] [--sample-rate N] [--timestamp SAMPLES]\n"
     "    [--track CH=NAME[:FUNCTION]]... [--quiet] PATH...   write metadata into take files",
     runSetCommand},
    {"copy", "copy --to DIR [--overwrite] [--quiet] PATH...   copy take files into DIR",
     runCopyCommand},
    {"rename", "rename [--quiet] PATH...   rename the files of takes after their scene and take",
     runRenameCommand},
    {"split",
     "split --to DIR --output TRACKS [--output TRACKS]... [--overwrite] [--quiet] FILE...\n"
     "    split poly files (TRACKS: 1-based, e.g. 1,3 gives BASE_1_3.EXT)",
     runSplitCommand},
    {"combine", "combine --output OUT [--overwrite] [--quiet] PATH...   combine mono files",
     runCombineCommand},
};

void printUsage(QTextStream& s)
{
    s << "usage: velmora-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const CliCommand& c : kCommands)
        s << "  " << c.usage << "\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quorlan");
    QCoreApplication::setApplicationName("Velmora");

    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == "help" || name == "--help" || name == "-h") {
        printUsage(out);
        return 0;
    }
    for (const CliCommand& c : kCommands) {
        if (name == QLatin1String(c.name)) {
            CliContext ctx{args, out, err};
            const int rc = c.run(ctx);
            out.flush();
            err.flush();
            return rc;
        }
    }
    err << "velmora-cli: unknown command \"" << name << "\"\n";
    printUsage(err);
    return 2;
}

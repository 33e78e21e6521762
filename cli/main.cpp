#include "CliCommands.h"

#include <QCoreApplication>
#ifdef VELMORA_HAVE_REPORTS
#include <QGuiApplication>
#endif

#include <cstdio>
#include <iterator>
#include <memory>

namespace
{

const CliCommand kCommands[] = {
    {"info", "info [--json] PATH...      print the metadata of take files", runInfoCommand},
    {"demo", "demo DIR [--takes N] [--seconds S]   write sample takes into DIR", runDemoCommand},
    {"takes", "takes [--json] PATH...     list files and folders as takes", runTakesCommand},
#ifdef VELMORA_HAVE_REPORTS
    {"report",
     "report --format csv|pdf --output FILE [--include circled,non-circled,wild]\n"
     "    [--columns \"File Name,Scene,...\"] [--track-names|--track-names-rows]\n"
     "    [--notes|--notes-rows] [--header \"Project:=Big Film\"]... PATH...   write a sound report",
     runReportCommand},
#endif
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
    {"repair",
     "repair [--dry-run] FILE...   mend the size fields of takes cut short by a power loss",
     runRepairCommand},
};

void printUsage(QTextStream& s)
{
    s << "usage: velmora-cli COMMAND [ARGS]\n\ncommands:\n";
    for (const CliCommand& c : kCommands)
        s << "  " << c.usage << "\n";
}

// True when the report arguments ask for CSV: the last "--format" before
// any "--" says "csv". Options that take a value skip it, as the report's
// own parser does.
bool isCsvReport(int argc, char** argv)
{
    static const char* const withValue[] = {"--format", "--output", "--include", "--columns",
                                            "--header"};
    bool csv = false;
    for (int i = 2; i < argc; ++i) {
        if (qstrcmp(argv[i], "--") == 0)
            break;
        for (const char* option : withValue) {
            if (qstrcmp(argv[i], option) == 0 && i + 1 < argc) {
                if (qstrcmp(option, "--format") == 0)
                    csv = qstrcmp(argv[i + 1], "csv") == 0;
                ++i;
                break;
            }
        }
    }
    return csv;
}

} // namespace

int main(int argc, char** argv)
{
    std::unique_ptr<QCoreApplication> app;
#ifdef VELMORA_HAVE_REPORTS
    // A PDF report lays out text, which needs the fonts of a GUI application;
    // no window is ever shown, so no display is needed either. A CSV report
    // needs no fonts: loading them would cost more than writing the file.
    if (argc > 1 && qstrcmp(argv[1], "report") == 0 && !isCsvReport(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
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

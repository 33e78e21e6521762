#include "CliCommands.h"
#include "TakeRepair.h"

// velmora-cli repair [--dry-run] FILE...
//
// Mends the size fields of takes cut short by a power loss: the data size to
// the whole frames the file holds, the RIFF size to the file. Prints what it
// will change before it changes it; --dry-run prints and changes nothing. A
// take that is not damaged is left alone ("nothing to repair"); a damage that
// cannot be mended safely is reported and the file left as it was (exit 1).

namespace
{
const char kUsage[] = "usage: velmora-cli repair [--dry-run] FILE...\n";
} // namespace

int runRepairCommand(CliContext& ctx)
{
    bool dryRun = false;
    bool options = true;
    QStringList paths;
    for (const QString& a : ctx.args) {
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (options && a.startsWith(QLatin1String("--"))) {
            ctx.err << "velmora-cli repair: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            paths << a;
        }
    }
    if (paths.isEmpty()) {
        ctx.err << kUsage;
        return 2;
    }

    int rc = 0;
    for (const QString& path : paths) {
        TakeRepair repair(path);
        switch (repair.verdict()) {
        case TakeRepair::Verdict::Unreadable:
            ctx.err << "velmora-cli: " << path << ": " << repair.message() << "\n";
            rc = 1;
            break;
        case TakeRepair::Verdict::Undamaged:
            ctx.out << path << ": nothing to repair\n";
            break;
        case TakeRepair::Verdict::NotRepairable:
            ctx.err << "velmora-cli: " << path
                    << ": cannot be repaired safely, left unchanged: " << repair.message() << "\n";
            rc = 1;
            break;
        case TakeRepair::Verdict::Repairable: {
            ctx.out << path << ": " << repair.changes() << (dryRun ? " (dry run)" : "") << "\n";
            ctx.out.flush();
            QString error;
            if (!dryRun && !repair.apply(&error)) {
                ctx.err << "velmora-cli: " << path << ": " << error << "\n";
                rc = 1;
            }
            break;
        }
        }
        ctx.out.flush();
        ctx.err.flush();
    }
    return rc;
}

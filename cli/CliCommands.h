#pragma once

#include <QStringList>
#include <QTextStream>

// Each command gets its own arguments (the command name removed) and returns
// the process exit status: 0 success, 1 when some item failed, 2 usage error.
struct CliContext {
    QStringList args;
    QTextStream& out;
    QTextStream& err;
};

using CliCommandFn = int (*)(CliContext& ctx);

struct CliCommand {
    const char* name;
    const char* usage; // one or more lines, shown by "velmora-cli help"
    CliCommandFn run;
};

int runInfoCommand(CliContext& ctx);
int runDemoCommand(CliContext& ctx);
int runTakesCommand(CliContext& ctx);
int runRepairCommand(CliContext& ctx);
#ifdef VELMORA_HAVE_REPORTS
int runReportCommand(CliContext& ctx);
#endif
#ifdef VELMORA_HAVE_ENGINE
int runRecorderCommand(CliContext& ctx);
#endif
int runSetCommand(CliContext& ctx);
int runCopyCommand(CliContext& ctx);
int runRenameCommand(CliContext& ctx);
int runSplitCommand(CliContext& ctx);
int runCombineCommand(CliContext& ctx);

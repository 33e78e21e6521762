#pragma once

#include "CliCommands.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

class AudioThread;

// Progress line on stderr for the file-operation commands: shown only when
// stderr is a terminal and --quiet was not given; erased when done.
class OpsProgress
{
public:
    OpsProgress(QTextStream& err, bool quiet);
    ~OpsProgress() { clear(); }
    void show(const QString& label, quint32 percent);
    void clear();

private:
    QTextStream& m_err;
    bool m_enabled = false;
    int m_width = 0; // characters of the line shown, 0 when none
};

namespace OpsCli
{

// Outcome of one worker operation.
struct Result {
    bool started = false; // the entry function accepted the operation
    bool ok = false;      // it ended with STATE_DONE
    QString error;        // the worker's m_errorMsg on failure
};

// Calls start (which runs an entry function of thread and returns its
// result) and waits, running an event loop, for the final state; progress
// goes to progress under label.
Result runOperation(AudioThread& thread, const std::function<bool()>& start, OpsProgress& progress,
                    const QString& label);

// The line "velmora-cli: PATH: ERROR" that reports a failure of the file at
// path, naming that file once: when error names it already (the operations'
// messages mostly start with the path they were writing), path is left out.
QString failureLine(const QString& path, const QString& error);

// A file-size limit (RLIMIT_FSIZE) must make writes fail with an error the
// operations handle (the partial output is removed), not kill the process
// half-way. Called by the commands that write take files.
void ignoreFileSizeSignal();

// Takes the value of option args[i] (advancing i); false when it is missing.
bool takeValue(const QStringList& args, int& i, QString& value);

// The arguments the file-operation commands share: paths, "--quiet" and,
// where allowed, "--overwrite"; "--" ends the options.
struct CommonArgs {
    QStringList paths;
    bool quiet = false;
    bool overwrite = false;
};
// A value option's handler: false when the value is not acceptable (the
// handler may say why on stderr first).
using ValueOption = std::function<bool(const QString& value)>;

// Parses ctx.args into out. Returns false after printing the bad option and
// usage to stderr; the command then exits with 2.
bool parseArgs(CliContext& ctx, const char* command, const char* usage, bool allowOverwrite,
               const QHash<QString, ValueOption>& valueOptions, CommonArgs& out);

} // namespace OpsCli

#include "OpsCliSupport.h"

#include "AudioThread.h"

#include <QEventLoop>
#include <QFileInfo>

#include <csignal>
#include <unistd.h>

OpsProgress::OpsProgress(QTextStream& err, bool quiet)
    : m_err(err), m_enabled(!quiet && ::isatty(STDERR_FILENO))
{
}

void OpsProgress::show(const QString& label, quint32 percent)
{
    if (!m_enabled)
        return;
    const QString line = QStringLiteral("%1 %2%").arg(label).arg(percent, 3);
    m_err << '\r' << line;
    if (line.size() < m_width)
        m_err << QString(m_width - line.size(), QLatin1Char(' '));
    m_width = qMax(m_width, int(line.size()));
    m_err.flush();
}

void OpsProgress::clear()
{
    if (!m_enabled || m_width == 0)
        return;
    m_err << '\r' << QString(m_width, QLatin1Char(' ')) << '\r';
    m_err.flush();
    m_width = 0;
}

namespace OpsCli
{

Result runOperation(AudioThread& thread, const std::function<bool()>& start, OpsProgress& progress,
                    const QString& label)
{
    Result r;
    bool final = false;
    QEventLoop loop;
    const auto c = QObject::connect(&thread, &AudioThread::progressUpdate, &loop,
                                    [&](int state, quint32 value) {
                                        if (state == AudioThread::STATE_PROGRESS) {
                                            progress.show(label, value);
                                            return;
                                        }
                                        final = true;
                                        r.ok = state == AudioThread::STATE_DONE;
                                        if (!r.ok)
                                            r.error = thread.m_errorMsg;
                                        loop.quit();
                                    });
    r.started = start();
    if (!r.started)
        r.error = thread.m_errorMsg;
    else if (!final) // the in-place update ends before its entry function returns
        loop.exec();
    QObject::disconnect(c);
    // The worker sets its idle state right after its final signal.
    thread.wait();
    progress.clear();
    return r;
}

QString failureLine(const QString& path, const QString& error)
{
    const QString name = QFileInfo(path).fileName();
    if (!name.isEmpty() && error.contains(name))
        return QStringLiteral("velmora-cli: ") + error;
    return QStringLiteral("velmora-cli: %1: %2").arg(path, error);
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

bool takeValue(const QStringList& args, int& i, QString& value)
{
    if (i + 1 >= args.size())
        return false;
    value = args.at(++i);
    return true;
}

bool parseArgs(CliContext& ctx, const char* command, const char* usage, bool allowOverwrite,
               const QHash<QString, ValueOption>& valueOptions, CommonArgs& out)
{
    bool endOfOptions = false;
    const QStringList& a = ctx.args;
    for (int i = 0; i < a.size(); ++i) {
        const QString& o = a.at(i);
        QString value;
        if (endOfOptions || !o.startsWith(QLatin1String("--")))
            out.paths << o;
        else if (o == QLatin1String("--"))
            endOfOptions = true;
        else if (o == QLatin1String("--quiet"))
            out.quiet = true;
        else if (allowOverwrite && o == QLatin1String("--overwrite"))
            out.overwrite = true;
        else if (valueOptions.contains(o) && takeValue(a, i, value) && valueOptions.value(o)(value))
            continue;
        else {
            ctx.err << "velmora-cli " << command << ": bad option " << o << "\n" << usage;
            return false;
        }
    }
    return true;
}

} // namespace OpsCli

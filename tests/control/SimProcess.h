#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs r9k-sim for one test: started with the given options, it prints the
// path of its pseudo-terminal; stopped (SIGTERM, then kill) on destruction.
class SimProcess
{
public:
    explicit SimProcess(const QStringList& options = QStringList());
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // False when the simulator did not start or print its path in time.
    bool start();
    QString path() const { return m_path; }
    // The simulator's process id (0 when not running), for pulling the plug.
    qint64 pid() const { return m_process.processId(); }
    QString errorText() const { return m_error; }

private:
    QStringList m_options;
    QProcess m_process;
    QString m_path;
    QString m_error;
};

#include "SimProcess.h"

SimProcess::SimProcess(const QStringList& options) : m_options(options)
{
    m_process.setProgram(QStringLiteral(R9K_SIM));
    m_process.setArguments(options);
    m_process.setStandardErrorFile(QProcess::nullDevice());
}

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool SimProcess::start()
{
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("r9k-sim did not start: ") + m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000)) {
            m_error = QStringLiteral("r9k-sim printed no path");
            return false;
        }
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_path.isEmpty();
}

#pragma once

#include "cPortEnumerator.h"
#include "cRecorderProbe.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

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

// A port list that a test changes while the code under test watches it.
class FakePorts : public cPortEnumerator
{
public:
    explicit FakePorts(std::shared_ptr<QList<cPortEntry>> list) : m_list(std::move(list)) {}
    QList<cPortEntry> ports() const override { return *m_list; }

private:
    std::shared_ptr<QList<cPortEntry>> m_list;
};

// A USB serial port, by default with the recorder's ids.
inline cPortEntry usbPort(const QString& name, quint16 vendor = cRecorderProbe::kUsbVendor,
                          quint16 product = cRecorderProbe::kUsbProduct)
{
    cPortEntry e;
    e.portName = name;
    e.hasUsbIds = true;
    e.vendorId = vendor;
    e.productId = product;
    return e;
}

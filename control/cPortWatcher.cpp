#include "cPortWatcher.h"

#include "cRecorderProbe.h"

#include <QFileInfo>

namespace
{
bool listed(const QList<cPortEntry>& list, const QString& name)
{
    for (const cPortEntry& e : list)
        if (e.portName == name)
            return true;
    return false;
}
} // namespace

cPortWatcher::cPortWatcher(std::unique_ptr<cPortEnumerator> enumerator, QObject* parent)
    : QObject(parent), m_enumerator(std::move(enumerator))
{
    connect(&m_timer, &QTimer::timeout, this, &cPortWatcher::poll);
}

void cPortWatcher::setEnumerator(std::unique_ptr<cPortEnumerator> enumerator)
{
    m_enumerator = std::move(enumerator);
}

void cPortWatcher::setFixedPort(const QString& path)
{
    m_fixedPort = path;
}

QList<cPortEntry> cPortWatcher::ports() const
{
    QList<cPortEntry> out;
    if (m_enumerator)
        out = m_enumerator->ports();
    if (!m_fixedPort.isEmpty() && QFileInfo::exists(m_fixedPort) && !listed(out, m_fixedPort)) {
        cPortEntry e;
        e.portName = m_fixedPort;
        e.description = QStringLiteral("given port");
        e.hasUsbIds = true;
        e.vendorId = cRecorderProbe::kUsbVendor;
        e.productId = cRecorderProbe::kUsbProduct;
        out.append(e);
    }
    return out;
}

void cPortWatcher::start(int intervalMs)
{
    m_known = ports();
    m_timer.start(intervalMs);
}

void cPortWatcher::stop()
{
    m_timer.stop();
}

void cPortWatcher::poll()
{
    const QList<cPortEntry> now = ports();
    const QList<cPortEntry> before = m_known;
    m_known = now;
    for (const cPortEntry& e : before)
        if (!listed(now, e.portName))
            emit deviceRemoved(e);
    for (const cPortEntry& e : now)
        if (!listed(before, e.portName))
            emit deviceDiscovered(e);
}

#pragma once

#include "cPortEnumerator.h"

#include <QObject>
#include <QTimer>

#include <memory>

// Plug and unplug of serial ports, found by listing the ports about once a
// second and comparing with the last list (by port name). A fixed port (a
// path given by the user, such as a pseudo-terminal, which never appears in
// the system's list) counts as present while its path exists, with the
// recorder's USB ids. GUI thread (its timer lives there).
class cPortWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 1000;

    explicit cPortWatcher(std::unique_ptr<cPortEnumerator> enumerator, QObject* parent = nullptr);

    void setEnumerator(std::unique_ptr<cPortEnumerator> enumerator);
    void setFixedPort(const QString& path);
    QString fixedPort() const { return m_fixedPort; }

    // The ports present now: the enumerator's list, then the fixed port.
    QList<cPortEntry> ports() const;
    // An enumerator over ports(), for the start-up scan.
    const cPortEnumerator& enumerator() const { return m_view; }

    // Takes the present list as known (no signals for it) and starts polling.
    void start(int intervalMs = kPollMs);
    void stop();

public slots:
    // Compares the present list with the last one: deviceRemoved for each
    // port gone, then deviceDiscovered for each new one, in list order.
    void poll();

signals:
    void deviceDiscovered(const cPortEntry& port);
    void deviceRemoved(const cPortEntry& port);

private:
    class View : public cPortEnumerator
    {
    public:
        explicit View(const cPortWatcher& watcher) : m_watcher(watcher) {}
        QList<cPortEntry> ports() const override { return m_watcher.ports(); }

    private:
        const cPortWatcher& m_watcher;
    };

    std::unique_ptr<cPortEnumerator> m_enumerator;
    View m_view{*this};
    QString m_fixedPort;
    QList<cPortEntry> m_known;
    QTimer m_timer;
};

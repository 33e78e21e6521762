#pragma once

#include "IAppSink.h"
#include "cLinkDevice.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

// Worker thread of control mode. While running it polls the recorder every
// tick (kTickMs of sleep) and publishes what it reads as signals: transport
// state about every 500 ms of ticks, the timecode and file time every fourth
// tick while the transport view is active, the sample rate, bit depth and
// frame rate every 2000 ms of ticks (emitted when changed), and the meters
// every second tick while the mixer view is active (their ballistics and
// peak hold every 2000 ms of meter passes, emitted when changed). The
// countdowns count ticks x kTickMs, not wall-clock time.
//
// Its slots serve the recorder transport view (transport keys) and the live
// take list (take-list requests, answered through the IAppSink in the
// caller's thread before the slot returns).
//
// Threading: the polling pass runs in the worker thread, the slots in their
// caller's thread (the GUI). One non-recursive mutex guards every use of the
// device: it is held for a whole poll pass and for each request exchange, and
// released before any signal is emitted or the sink is called, so a receiver
// connected directly may call back into the worker. Flags and countdowns are
// atomics written without the mutex. The device and the sink are not owned;
// the device must outlive the thread (stop and wait() before deleting it).
//
// A link failure during a poll pass ends the thread (no retry): run() returns,
// lastPollResult() holds the result code and cLinkError() is emitted once. It
// stays ended until start() is called again; the request slots keep working
// while a device is set.
class controlModeR9K : public QThread
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 15;
    static constexpr int kTransportPeriodMs = 500;
    static constexpr int kSettingsPeriodMs = 2000;
    static constexpr int kMeterSettingsPeriodMs = 2000;
    // Countdown value that makes a poll due on the next pass of its phase.
    static constexpr int kSoonMs = 15;
    static constexpr uchar kUnsetMode = 0xFF;
    static constexpr quint16 kUnsetValue = 0xFFFF;
    static constexpr uchar kMeterSelector = 1;

    explicit controlModeR9K(QObject* parent = nullptr);
    controlModeR9K(cLinkDevice* device, QObject* parent = nullptr);
    ~controlModeR9K() override;

    void setDevice(cLinkDevice* device) { m_device.store(device); }
    cLinkDevice* device() const { return m_device.load(); }
    void setSink(IAppSink* sink) { m_sink.store(sink); }
    IAppSink* sink() const { return m_sink.load(); }

    // Back to the initial state: no stop request, both views inactive, all
    // last values unset, all countdowns kSoonMs, tick counters 0.
    void initializeVariables();

    // Clears any earlier stop request, then starts the thread. Clearing here
    // rather than in run() means a stop requested right after start() is
    // never lost.
    void start(Priority priority = InheritPriority);
    void requestStop() { m_stopRequested.store(true); }
    bool stopRequested() const { return m_stopRequested.load(); }

    // One pass of the polling loop (what run() does every tick), in the
    // calling thread. Returns 0, or the result code of the command that
    // failed. Does nothing and returns 0 without a device.
    int pollTick();
    quint32 tickCount() const { return m_tick.load(); }
    int lastPollResult() const { return m_lastPollResult.load(); }
    bool transportViewActive() const { return m_transportViewActive.load(); }
    bool mixerViewActive() const { return m_mixerViewActive.load(); }

signals:
    void timecodeUpdate(const QString& timecode);
    void fileTimeUpdate(const QString& fileTime);
    void transportModeChange(uchar mode);
    void sampleRateUpdate(const QString& text);
    void bitDepthUpdate(const QString& text);
    void frameRateUpdate(const QString& text);
    void meterUpdate(QByteArray levels);
    void meterBallisticsUpdate(const quint16& value);
    // Milliseconds: the recorder's value x 100.
    void meterPeakHoldTimeUpdate(const quint16& ms);
    // Emitted once when a poll pass fails and the thread ends.
    void cLinkError();
    // Declared for receivers of the take list; take-list results travel
    // through the sink, so these are not emitted.
    void getTakeListUpdate(QList<uint> takes, bool ok);
    void getTakeParamUpdate(uint take, int id, const QString& value, bool ok);
    void setTakeParamAck(uint take, int id, bool ok);
    void setFalseTakeAck(uint take, bool ok);

public slots:
    // 0 stop, 1 play, 2 record, 3 fast forward, 4 rewind: only 1 and 2 are
    // sent as themselves, every other key as stop.
    void on_transportKeyPressed(int key);
    void on_transportViewActive(bool active);
    void setMixerView(bool active);
    void on_deviceDiscoveredR9K();
    void on_deviceRemovedR9K();
    void on_getTakeList(quint32 first, int count);
    void on_getTakeParam(quint32 take, int id);
    // ids 0-3 send the text (refused unsent, status 1, when it cannot be
    // carried: see cLinkDevice::makeTextValue), ids 4 and 5 one byte;
    // any other id is ignored (nothing sent, no callback).
    void on_setTakeParam(quint32 take, int id, const QString& value);
    void on_setFalseTake(quint32 take);
    void on_getTakeListChanges();

protected:
    void run() override;

private:
    struct PassOutput;
    int pollTransport(cLinkDevice& device, PassOutput& out);
    int pollTimecodeAndSettings(cLinkDevice& device, PassOutput& out);
    int pollMeters(cLinkDevice& device, PassOutput& out);
    void publish(const PassOutput& out);
    void deliver(CLINK::cLinkAck& ack);

    std::atomic<IAppSink*> m_sink{nullptr};
    std::atomic<cLinkDevice*> m_device{nullptr};
    std::atomic<bool> m_stopRequested{false};
    QMutex m_mutex;
    std::atomic<int> m_transportCountdown{kSoonMs};
    std::atomic<int> m_settingsCountdown{kSoonMs};
    std::atomic<int> m_meterSettingsCountdown{kSoonMs};
    std::atomic<bool> m_transportViewActive{false};
    std::atomic<bool> m_mixerViewActive{false};
    std::atomic<uchar> m_lastTransportMode{kUnsetMode};
    std::atomic<quint16> m_lastFrameRate{kUnsetValue};
    std::atomic<quint16> m_lastBitDepth{kUnsetValue};
    std::atomic<quint16> m_lastSampleRate{kUnsetValue};
    std::atomic<quint16> m_lastBallistics{kUnsetValue};
    std::atomic<quint16> m_lastPeakHold{kUnsetValue};
    // Pass counters of the current run (written by the polling thread only).
    std::atomic<quint32> m_tick{0};
    quint32 m_statusPass = 0;
    std::atomic<int> m_lastPollResult{0};
};

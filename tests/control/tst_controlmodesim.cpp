// The worker's polling cadence against r9k-sim. The passes are driven with
// pollTick() so every assertion is in ticks, independent of machine speed;
// one test runs the real thread until a dropped reply ends it.

#include "RecordingPort.h"
#include "SimProcess.h"
#include "cRecorderProbe.h"
#include "cTermiosPort.h"
#include "controlModeR9K.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace
{

enum : int { kUserGet = 0x0A, kGetTransport = 0x12, kGetTimeCode = 0x13, kGetMeters = 0x3E };

struct Rig {
    RecordingPort* port = nullptr;
    std::unique_ptr<cLinkDevice> device;
    std::unique_ptr<controlModeR9K> worker;

    bool open(const QString& path)
    {
        auto recording = std::make_unique<RecordingPort>(std::make_unique<cTermiosPort>(path));
        port = recording.get();
        device = std::make_unique<cLinkDevice>(std::move(recording));
        if (cRecorderProbe::probe(*device).status != cRecorderProbe::Status::Accepted)
            return false;
        worker = std::make_unique<controlModeR9K>(device.get());
        controlModeR9K* w = worker.get();
        port->setStamp([w]() { return w->tickCount(); });
        port->clear();
        return true;
    }
    // Ticks at which requests of a command (and user parameter) were sent.
    QList<quint32> ticks(int command, int userParam = -1) const
    {
        QList<quint32> out;
        for (const RecordingPort::Entry& e : port->entries())
            if (e.command() == command && (userParam < 0 || e.userParam() == userParam))
                out.append(e.stamp);
        return out;
    }
    void run(int passes)
    {
        for (int i = 0; i < passes; ++i)
            QCOMPARE(worker->pollTick(), 0);
    }
};

QList<quint32> series(quint32 first, quint32 step, quint32 last)
{
    QList<quint32> out;
    for (quint32 t = first; t <= last; t += step)
        out.append(t);
    return out;
}

} // namespace

#define OPEN_RIG(rig, sim)                                                                         \
    QVERIFY2((sim).start(), qPrintable((sim).errorText()));                                        \
    QVERIFY((rig).open((sim).path()))

class tst_ControlModeSim : public QObject
{
    Q_OBJECT
private slots:
    void cadenceWithBothViews();
    void hiddenViewsReadNoTimecodeOrMeters();
    void showingTransportViewResendsEverything();
    void mixerViewResendsMeterSettings();
    void deviceRemovedThenSettingsReemitted();
    void keyPressIsReadBackAtNextTransportPass();
    void threadEndsOnDroppedReply();
};

void tst_ControlModeSim::cadenceWithBothViews()
{
    SimProcess sim;
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy transport(rig.worker.get(), &controlModeR9K::transportModeChange);
    QSignalSpy timecode(rig.worker.get(), &controlModeR9K::timecodeUpdate);
    QSignalSpy fileTime(rig.worker.get(), &controlModeR9K::fileTimeUpdate);
    QSignalSpy sampleRate(rig.worker.get(), &controlModeR9K::sampleRateUpdate);
    QSignalSpy bitDepth(rig.worker.get(), &controlModeR9K::bitDepthUpdate);
    QSignalSpy frameRate(rig.worker.get(), &controlModeR9K::frameRateUpdate);
    QSignalSpy meters(rig.worker.get(), &controlModeR9K::meterUpdate);
    QSignalSpy ballistics(rig.worker.get(), &controlModeR9K::meterBallisticsUpdate);
    QSignalSpy peakHold(rig.worker.get(), &controlModeR9K::meterPeakHoldTimeUpdate);
    rig.worker->on_transportViewActive(true);
    rig.worker->setMixerView(true);
    rig.run(300);

    // Transport every 36 ticks (500 ms of 15 ms ticks, on transport passes).
    QCOMPARE(rig.ticks(kGetTransport), series(1, 36, 300));
    QCOMPARE(transport.count(), 9); // emitted on every read, changed or not
    // Timecode on every other status pass: every fourth tick from 3.
    QCOMPARE(rig.ticks(kGetTimeCode), series(3, 4, 300));
    QCOMPARE(timecode.count(), 75);
    QCOMPARE(fileTime.count(), 75);
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d:\\d\\d$")
                .match(timecode.last().value(0).toString())
                .hasMatch());
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d$")
                .match(fileTime.last().value(0).toString())
                .hasMatch());
    // Settings every 136 ticks (2000 ms), emitted only when they change.
    for (int id : {0, 1, 51})
        QCOMPARE(rig.ticks(kUserGet, id), (QList<quint32>{3, 139, 275}));
    QCOMPARE(sampleRate.count(), 1);
    QCOMPARE(sampleRate.value(0).value(0).toString(), QStringLiteral("48k"));
    QCOMPARE(bitDepth.value(0).value(0).toString(), QStringLiteral("24"));
    QCOMPARE(frameRate.value(0).value(0).toString(), QStringLiteral("25 ND"));
    QCOMPARE(bitDepth.count(), 1);
    QCOMPARE(frameRate.count(), 1);
    // Meters every even tick; their settings on every 134th meter pass.
    QCOMPARE(rig.ticks(kGetMeters), series(2, 2, 300));
    QCOMPARE(meters.count(), 150);
    QCOMPARE(meters.last().value(0).toByteArray().size(), 24);
    for (int id : {8, 234})
        QCOMPARE(rig.ticks(kUserGet, id), (QList<quint32>{2, 270}));
    QCOMPARE(ballistics.count(), 1);
    QCOMPARE(int(ballistics.value(0).value(0).value<quint16>()), 2);
    QCOMPARE(int(peakHold.value(0).value(0).value<quint16>()), 2000);
}

void tst_ControlModeSim::hiddenViewsReadNoTimecodeOrMeters()
{
    SimProcess sim;
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy timecode(rig.worker.get(), &controlModeR9K::timecodeUpdate);
    QSignalSpy meters(rig.worker.get(), &controlModeR9K::meterUpdate);
    QSignalSpy sampleRate(rig.worker.get(), &controlModeR9K::sampleRateUpdate);
    rig.run(300);
    QVERIFY(rig.ticks(kGetTimeCode).isEmpty());
    QVERIFY(rig.ticks(kGetMeters).isEmpty());
    QCOMPARE(timecode.count(), 0);
    QCOMPARE(meters.count(), 0);
    // The rates are still read every 2000 ms of ticks.
    QCOMPARE(rig.ticks(kUserGet, 0), (QList<quint32>{3, 139, 275}));
    QCOMPARE(sampleRate.count(), 1);
    QCOMPARE(rig.ticks(kGetTransport), series(1, 36, 300));
}

void tst_ControlModeSim::showingTransportViewResendsEverything()
{
    SimProcess sim;
    Rig rig;
    OPEN_RIG(rig, sim);
    rig.worker->on_transportViewActive(true);
    rig.run(20);
    QSignalSpy transport(rig.worker.get(), &controlModeR9K::transportModeChange);
    QSignalSpy sampleRate(rig.worker.get(), &controlModeR9K::sampleRateUpdate);
    QSignalSpy bitDepth(rig.worker.get(), &controlModeR9K::bitDepthUpdate);
    QSignalSpy frameRate(rig.worker.get(), &controlModeR9K::frameRateUpdate);
    rig.worker->on_transportViewActive(false);
    rig.run(4);
    rig.worker->on_transportViewActive(true);
    rig.run(4); // one transport pass and one timecode pass
    QCOMPARE(transport.count(), 1);
    QCOMPARE(sampleRate.count(), 1);
    QCOMPARE(bitDepth.count(), 1);
    QCOMPARE(frameRate.count(), 1);
}

void tst_ControlModeSim::mixerViewResendsMeterSettings()
{
    SimProcess sim({"--ballistics", "1", "--peak-hold", "5"});
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy ballistics(rig.worker.get(), &controlModeR9K::meterBallisticsUpdate);
    QSignalSpy peakHold(rig.worker.get(), &controlModeR9K::meterPeakHoldTimeUpdate);
    rig.worker->setMixerView(true);
    rig.run(10);
    rig.worker->setMixerView(true);
    rig.run(2);
    QCOMPARE(ballistics.count(), 2);
    QCOMPARE(peakHold.count(), 2);
    QCOMPARE(int(peakHold.value(1).value(0).value<quint16>()), 500);
}

void tst_ControlModeSim::deviceRemovedThenSettingsReemitted()
{
    SimProcess sim;
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy sampleRate(rig.worker.get(), &controlModeR9K::sampleRateUpdate);
    rig.run(3);
    QCOMPARE(sampleRate.count(), 1);
    rig.worker->on_deviceRemovedR9K();
    rig.worker->on_deviceDiscoveredR9K(); // all polls due at once
    rig.run(4);
    QCOMPARE(sampleRate.count(), 2);
}

void tst_ControlModeSim::keyPressIsReadBackAtNextTransportPass()
{
    SimProcess sim;
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy transport(rig.worker.get(), &controlModeR9K::transportModeChange);
    rig.run(8);
    QCOMPARE(transport.count(), 1);
    rig.worker->on_transportKeyPressed(2);
    rig.run(2); // ticks 9 (transport pass) and 10
    QCOMPARE(transport.count(), 2);
    QCOMPARE(int(transport.last().value(0).value<uchar>()), 2);
}

void tst_ControlModeSim::threadEndsOnDroppedReply()
{
    SimProcess sim({"--drop-every", "12"});
    Rig rig;
    OPEN_RIG(rig, sim);
    QSignalSpy error(rig.worker.get(), &controlModeR9K::cLinkError);
    rig.worker->on_transportViewActive(true);
    rig.worker->setMixerView(true);
    rig.worker->start();
    QVERIFY(rig.worker->wait(20000));
    QCOMPARE(rig.worker->lastPollResult(), int(cLinkSerial::kTimedOut));
    QCOMPARE(error.count(), 1);
    // The link itself keeps working for the next exchange.
    cLinkDevice::TransportMode mode;
    QCOMPARE(rig.device->GetTransport(&mode), 0);
}

QTEST_GUILESS_MAIN(tst_ControlModeSim)
#include "tst_controlmodesim.moc"

#include "controlModeR9K.h"

#include "constantsR9K.h"

#include <QMutexLocker>

// What one poll pass read, published after the mutex is released.
struct controlModeR9K::PassOutput {
    bool transport = false;
    uchar mode = 0;
    bool timecode = false;
    quint32 timecodeValue = 0;
    quint32 fileTimeValue = 0;
    bool sampleRate = false;
    bool bitDepth = false;
    bool frameRate = false;
    quint16 sampleRateCode = 0;
    quint16 bitDepthCode = 0;
    quint16 frameRateCode = 0;
    bool meters = false;
    QByteArray levels;
    bool ballistics = false;
    quint16 ballisticsValue = 0;
    bool peakHold = false;
    quint16 peakHoldMs = 0;
};

controlModeR9K::controlModeR9K(QObject* parent) : controlModeR9K(nullptr, parent) {}

controlModeR9K::controlModeR9K(cLinkDevice* device, QObject* parent) : QThread(parent)
{
    initializeVariables();
    m_device.store(device);
}

controlModeR9K::~controlModeR9K()
{
    if (isRunning()) {
        requestStop();
        wait();
    }
    m_device.store(nullptr);
}

void controlModeR9K::initializeVariables()
{
    m_stopRequested.store(false);
    m_transportViewActive.store(false);
    m_mixerViewActive.store(false);
    m_lastTransportMode.store(kUnsetMode);
    m_lastFrameRate.store(kUnsetValue);
    m_lastBitDepth.store(kUnsetValue);
    m_lastSampleRate.store(kUnsetValue);
    m_lastBallistics.store(kUnsetValue);
    m_lastPeakHold.store(kUnsetValue);
    m_transportCountdown.store(kSoonMs);
    m_settingsCountdown.store(kSoonMs);
    m_meterSettingsCountdown.store(kSoonMs);
    m_tick.store(0);
    m_statusPass = 0;
    m_lastPollResult.store(0);
}

void controlModeR9K::start(Priority priority)
{
    m_stopRequested.store(false);
    QThread::start(priority);
}

void controlModeR9K::run()
{
    m_tick.store(0);
    m_statusPass = 0;
    m_lastPollResult.store(0);
    while (!m_stopRequested.load()) {
        const int rc = pollTick();
        if (rc != cLinkSerial::kOk) {
            m_lastPollResult.store(rc);
            emit cLinkError();
            return;
        }
        msleep(kTickMs);
    }
}

int controlModeR9K::pollTick()
{
    PassOutput out;
    int rc = cLinkSerial::kOk;
    {
        QMutexLocker lock(&m_mutex);
        cLinkDevice* device = m_device.load();
        if (!device)
            return cLinkSerial::kOk;
        m_transportCountdown -= kTickMs;
        m_settingsCountdown -= kTickMs;
        const quint32 tick = ++m_tick;
        if (tick & 1u) {
            ++m_statusPass;
            rc = (m_statusPass & 1u) ? pollTransport(*device, out)
                                     : pollTimecodeAndSettings(*device, out);
        }
        if (rc == cLinkSerial::kOk && m_mixerViewActive.load() && !(tick & 1u))
            rc = pollMeters(*device, out);
    }
    publish(out);
    return rc;
}

int controlModeR9K::pollTransport(cLinkDevice& device, PassOutput& out)
{
    if (m_transportCountdown.load() > 0)
        return cLinkSerial::kOk;
    cLinkDevice::TransportMode mode = cLinkDevice::kStop;
    const int rc = device.GetTransport(&mode);
    if (rc != cLinkSerial::kOk)
        return rc;
    m_lastTransportMode.store(uchar(mode));
    out.transport = true;
    out.mode = uchar(mode);
    m_transportCountdown.store(kTransportPeriodMs);
    return rc;
}

// Reads one user parameter and marks it for publishing when it differs from
// the last value seen. Returns the link result.
static int readSetting(cLinkDevice& device, ushort id, std::atomic<quint16>& last, bool& changed,
                       quint16& value)
{
    ushort v = 0;
    const int rc = device.UserGet(id, &v);
    if (rc != cLinkSerial::kOk)
        return rc;
    if (v != last.load()) {
        last.store(v);
        changed = true;
        value = v;
    }
    return rc;
}

int controlModeR9K::pollTimecodeAndSettings(cLinkDevice& device, PassOutput& out)
{
    if (m_transportViewActive.load()) {
        uint timecode = 0;
        uint fileTime = 0;
        const int rc = device.GetTimeCode(&timecode, nullptr, &fileTime);
        if (rc != cLinkSerial::kOk)
            return rc;
        out.timecode = true;
        out.timecodeValue = timecode;
        out.fileTimeValue = fileTime;
    }
    if (m_settingsCountdown.load() > 0)
        return cLinkSerial::kOk;

    int rc = readSetting(device, cLinkDevice::kUserSampleRate, m_lastSampleRate, out.sampleRate,
                         out.sampleRateCode);
    if (rc == cLinkSerial::kOk)
        rc = readSetting(device, cLinkDevice::kUserBitDepth, m_lastBitDepth, out.bitDepth,
                         out.bitDepthCode);
    if (rc == cLinkSerial::kOk)
        rc = readSetting(device, cLinkDevice::kUserFrameRate, m_lastFrameRate, out.frameRate,
                         out.frameRateCode);
    if (rc == cLinkSerial::kOk)
        m_settingsCountdown.store(kSettingsPeriodMs);
    return rc;
}

int controlModeR9K::pollMeters(cLinkDevice& device, PassOutput& out)
{
    int rc = device.GetMeters(kMeterSelector, &out.levels);
    if (rc != cLinkSerial::kOk)
        return rc;
    out.meters = true;
    m_meterSettingsCountdown -= kTickMs;
    if (m_meterSettingsCountdown.load() > 0)
        return rc;
    rc = readSetting(device, cLinkDevice::kUserMeterBallistics, m_lastBallistics, out.ballistics,
                     out.ballisticsValue);
    if (rc != cLinkSerial::kOk)
        return rc;
    quint16 hold = 0;
    rc = readSetting(device, cLinkDevice::kUserPeakHold, m_lastPeakHold, out.peakHold, hold);
    if (rc != cLinkSerial::kOk)
        return rc;
    // Tenths of a second to milliseconds, saturated: a 16-bit product would
    // wrap for values above 655.
    if (out.peakHold)
        out.peakHoldMs = quint16(qMin(quint32(hold) * 100u, quint32(0xFFFF)));
    m_meterSettingsCountdown.store(kMeterSettingsPeriodMs);
    return rc;
}

void controlModeR9K::publish(const PassOutput& out)
{
    using namespace constantsR9K;
    if (out.transport)
        emit transportModeChange(out.mode);
    if (out.timecode) {
        emit timecodeUpdate(timecodeText(out.timecodeValue));
        emit fileTimeUpdate(fileTimeText(out.fileTimeValue));
    }
    if (out.sampleRate)
        emit sampleRateUpdate(textFor(sampleRateText, out.sampleRateCode));
    if (out.bitDepth)
        emit bitDepthUpdate(textFor(bitDepthText, out.bitDepthCode));
    if (out.frameRate)
        emit frameRateUpdate(textFor(frameRateText, out.frameRateCode));
    if (out.meters)
        emit meterUpdate(out.levels);
    if (out.ballistics)
        emit meterBallisticsUpdate(out.ballisticsValue);
    if (out.peakHold)
        emit meterPeakHoldTimeUpdate(out.peakHoldMs);
}

void controlModeR9K::on_transportKeyPressed(int key)
{
    const auto mode = cLinkDevice::TransportMode(
        key == cLinkDevice::kPlay || key == cLinkDevice::kRecord ? key : cLinkDevice::kStop);
    cLinkDevice* device = m_device.load();
    if (!device)
        return;
    QMutexLocker lock(&m_mutex);
    if (device->SetTransport(mode) == cLinkSerial::kOk)
        m_transportCountdown.store(0);
}

void controlModeR9K::on_transportViewActive(bool active)
{
    if (active) {
        m_lastTransportMode.store(kUnsetMode);
        m_lastFrameRate.store(kUnsetValue);
        m_lastBitDepth.store(kUnsetValue);
        m_lastSampleRate.store(kUnsetValue);
        m_transportCountdown.store(kSoonMs);
        m_settingsCountdown.store(kSoonMs);
    }
    m_transportViewActive.store(active);
}

void controlModeR9K::setMixerView(bool active)
{
    if (active) {
        m_lastBallistics.store(kUnsetValue);
        m_lastPeakHold.store(kUnsetValue);
        m_meterSettingsCountdown.store(kSoonMs);
    }
    m_mixerViewActive.store(active);
}

void controlModeR9K::on_deviceDiscoveredR9K()
{
    m_transportCountdown.store(0);
    m_settingsCountdown.store(0);
    m_meterSettingsCountdown.store(0);
}

void controlModeR9K::on_deviceRemovedR9K()
{
    m_lastTransportMode.store(kUnsetMode);
    m_lastFrameRate.store(kUnsetValue);
    m_lastBitDepth.store(kUnsetValue);
    m_lastSampleRate.store(kUnsetValue);
    m_lastBallistics.store(kUnsetValue);
    m_lastPeakHold.store(kUnsetValue);
}

void controlModeR9K::deliver(CLINK::cLinkAck& ack)
{
    if (IAppSink* sink = m_sink.load())
        sink->appAckCallBack(&ack);
}

void controlModeR9K::on_getTakeList(quint32 first, int count)
{
    cLinkDevice* device = m_device.load();
    if (!device || !m_sink.load())
        return;
    CLINK::cLinkAck ack;
    ack.command = CLINK::cLinkAck::kTakeList;
    QList<uint> takes;
    {
        QMutexLocker lock(&m_mutex);
        // The count travels as one byte: clamp rather than wrap.
        ack.status = device->GetTakeList(int(first), uchar(qBound(0, count, 255)), takes);
        ack.text = device->getLastAckErr();
    }
    if (ack.status == cLinkSerial::kOk) {
        ack.count = int(qMin(takes.size(), qsizetype(CLINK::cLinkAck::kMaxTakes)));
        for (int i = 0; i < ack.count; ++i)
            ack.data[i] = takes[i];
    }
    deliver(ack);
}

void controlModeR9K::on_getTakeParam(quint32 take, int id)
{
    cLinkDevice* device = m_device.load();
    if (!device || !m_sink.load())
        return;
    CLINK::cLinkAck ack;
    ack.command = CLINK::cLinkAck::kTakeParamRead;
    uchar value[cLinkDevice::kMaxPayload];
    int length = 0;
    if (id < 0 || id > 255) {
        // Not representable on the wire (one byte): refused unsent.
        ack.status = cLinkSerial::kWriteFailed;
    } else {
        QMutexLocker lock(&m_mutex);
        ack.status = device->GetTakeParam(take, uchar(id), value, length);
        ack.text = device->getLastAckErr();
    }
    if (ack.status == cLinkSerial::kOk) {
        ack.setWord(0, take);
        ack.setWord(1, quint32(id));
        QByteArray text;
        switch (id) {
        case cLinkDevice::kTakeFileName:
        case cLinkDevice::kTakeTake:
        case cLinkDevice::kTakeScene:
        case cLinkDevice::kTakeNotes:
            text = QByteArray(reinterpret_cast<const char*>(value), length);
            text.truncate(text.indexOf('\0') < 0 ? text.size() : text.indexOf('\0'));
            break;
        case cLinkDevice::kTakeCircled:
        case cLinkDevice::kTakeSecondFlag:
            // An empty reply carries no flag: shown as no value, not read.
            if (length >= 1)
                text = value[0] != 0 ? "1" : "0";
            break;
        case cLinkDevice::kTakeStartTimecode:
            if (length >= 4)
                text = constantsR9K::timecodeText(LinkFrame::get32(value)).toLatin1();
            break;
        default:
            break;
        }
        ack.setValueText(text);
    }
    deliver(ack);
}

void controlModeR9K::on_setTakeParam(quint32 take, int id, const QString& value)
{
    if (id < cLinkDevice::kTakeFileName || id > cLinkDevice::kTakeSecondFlag)
        return;
    cLinkDevice* device = m_device.load();
    if (!device || !m_sink.load())
        return;
    CLINK::cLinkAck ack;
    ack.command = CLINK::cLinkAck::kTakeParamWrite;
    QByteArray wire;
    bool sendable = true;
    if (id <= cLinkDevice::kTakeNotes) {
        sendable = cLinkDevice::makeTextValue(value, &wire);
    } else {
        const short flag = value.toShort();
        wire = QByteArray(1, flag != 0 ? '\1' : '\0');
    }
    if (!sendable) {
        ack.status = cLinkSerial::kWriteFailed;
    } else {
        QMutexLocker lock(&m_mutex);
        ack.status = device->SetTakeParam(
            take, uchar(id), reinterpret_cast<const uchar*>(wire.constData()), int(wire.size()));
        ack.text = device->getLastAckErr();
    }
    ack.setWord(0, take);
    ack.setWord(1, quint32(id));
    deliver(ack);
}

void controlModeR9K::on_setFalseTake(quint32 take)
{
    cLinkDevice* device = m_device.load();
    if (!device || !m_sink.load())
        return;
    CLINK::cLinkAck ack;
    ack.command = CLINK::cLinkAck::kFalseTake;
    {
        QMutexLocker lock(&m_mutex);
        ack.status = device->SetFalseTake(take);
        ack.text = device->getLastAckErr();
    }
    ack.setWord(0, take);
    deliver(ack);
}

void controlModeR9K::on_getTakeListChanges()
{
    cLinkDevice* device = m_device.load();
    if (!device || !m_sink.load())
        return;
    CLINK::cLinkAck ack;
    ack.command = CLINK::cLinkAck::kTakeListChanges;
    int change = 0;
    int take = 0;
    {
        QMutexLocker lock(&m_mutex);
        ack.status = device->GetTakeListChanges(change, take);
        ack.text = device->getLastAckErr();
    }
    if (ack.status == cLinkSerial::kOk) {
        ack.setWord(0, quint32(change));
        ack.setWord(1, quint32(take));
    }
    deliver(ack);
}

#include "SimRecorder.h"

#include "SimTimecode.h"

#include <algorithm>
#include <cmath>
#include <ctime>

using SimFrame::Bytes;

namespace
{

constexpr size_t kMaxTakes = 400;
constexpr int kMaxListIds = 63;
constexpr size_t kMaxNotes = 200;
constexpr size_t kMaxScene = 9;
constexpr size_t kMaxTakeDigits = 5;
// Reply lengths of the device-info selectors 0-6.
constexpr uint8_t kDeviceInfoReply[] = {8, 8, 7, 11, 10, 10, 8};

uint32_t get32(const Bytes& p, size_t at)
{
    return uint32_t(p[at]) | (uint32_t(p[at + 1]) << 8) | (uint32_t(p[at + 2]) << 16) |
           (uint32_t(p[at + 3]) << 24);
}

void put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

Bytes dataReply(uint8_t command, const Bytes& payload)
{
    Bytes body(payload.size() + 1);
    body[0] = command;
    std::copy(payload.begin(), payload.end(), body.begin() + 1);
    return SimFrame::reply(body);
}

int64_t microsSinceMidnight()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const int64_t secs = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    const auto sub = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()) %
                     std::chrono::seconds(1);
    return secs * 1000000 + sub.count();
}

std::string twoDigits(const std::string& take)
{
    return take.size() >= 2 ? take : std::string(2 - take.size(), '0') + take;
}

bool printable(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

} // namespace

SimRecorder::SimRecorder(const SimOptions& options)
    : m_options(options), m_random(options.seed), m_start(Clock::now())
{
    m_transportSince = m_start;
    m_lastPanelEdit = m_start;
    m_lastMeterUpdate = m_start;
    m_userParams[0] = uint16_t(options.sampleRate);
    m_userParams[1] = uint16_t(options.bitDepth);
    m_userParams[8] = uint16_t(options.ballistics);
    m_userParams[51] = uint16_t(options.frameRate);
    m_userParams[234] = uint16_t(options.peakHold);

    // Takes recorded earlier today, two minutes apart, oldest last.
    const int64_t now = microsSinceMidnight();
    for (int i = 1; i <= options.initialTakes; ++i) {
        Take t;
        t.id = m_nextId++;
        t.scene = options.scene;
        t.take = std::to_string(i);
        t.fileName = t.scene + "-T" + twoDigits(t.take) + ".WAV";
        t.recorded = true;
        const int64_t at = now - int64_t(options.initialTakes - i + 1) * 120 * 1000000;
        t.startTc = SimTimecode::timeOfDay(at, options.frameRate);
        m_takes.push_front(t);
    }
    m_takes.push_front(makeNextTake(m_takes.empty() ? nullptr : &m_takes.front()));
    std::fill(std::begin(m_level), std::end(m_level), 41);
    std::fill(std::begin(m_peak), std::end(m_peak), 41);
}

bool SimRecorder::isVariableCommand(uint8_t command)
{
    switch (command) {
    case 0x38:
    case 0x39:
    case 0x3A:
    case 0x3B:
    case 0x4E:
        return true;
    default:
        return false;
    }
}

Bytes SimRecorder::handle(const SimFrame::Request& r)
{
    switch (r.command) {
    case 0x01:
        return version(r.payload);
    case 0x0A:
        return userGet(r.payload);
    case 0x0D:
        return metersGet();
    case 0x11:
        return setTransport(r.payload);
    case 0x12:
        return SimFrame::reply({m_transport});
    case 0x13:
        return timeCode();
    case 0x38:
        return takeList(r.payload);
    case 0x39:
        return takeParam(r.payload);
    case 0x3A:
        return setTakeParam(r.payload);
    case 0x3B:
        return falseTake(r.payload);
    case 0x3E:
        return meters(r.payload);
    case 0x41:
        return deviceInfo(r.payload);
    case 0x4E:
        return takeListChanges();
    default:
        return SimFrame::statusAck(1, "Unknown command");
    }
}

void SimRecorder::tick()
{
    if (m_options.panelEditMs <= 0 || m_takes.size() < 2)
        return;
    const auto now = Clock::now();
    if (now - m_lastPanelEdit < std::chrono::milliseconds(m_options.panelEditMs))
        return;
    m_lastPanelEdit = now;
    Take& current = m_takes[1];
    current.notes = "panel edit " + std::to_string(++m_panelEdits);
    noteChange(kChangedParams, current.id);
}

Bytes SimRecorder::version(const Bytes& p)
{
    const uint8_t selector = p.empty() ? 0 : p[0];
    switch (selector) {
    case 0:
        return SimFrame::reply(
            {uint8_t(m_options.firmwareMinor), uint8_t(m_options.firmwareMajor)});
    case 2:
        return SimFrame::reply({uint8_t(m_options.deviceKind), 0});
    default:
        return SimFrame::reply({1, 0}); // boot loader 0.1
    }
}

Bytes SimRecorder::userGet(const Bytes& p)
{
    const uint16_t id = p.size() >= 2 ? uint16_t(p[0] | (p[1] << 8)) : 0;
    const auto it = m_userParams.find(id);
    const uint16_t value = it == m_userParams.end() ? 0 : it->second;
    return SimFrame::reply({uint8_t(value), uint8_t(value >> 8)});
}

Bytes SimRecorder::setTransport(const Bytes& p)
{
    const uint8_t mode = p.empty() ? 0 : p[0];
    if (mode == kRecord) {
        if (m_transport != kRecord)
            startRecording();
    } else if (mode == kPlay) {
        // Playback is refused while recording; the recorder keeps recording.
        if (m_transport != kRecord && m_transport != kPlay) {
            m_transport = kPlay;
            m_transportSince = Clock::now();
        }
    } else {
        if (m_transport == kRecord)
            stopRecording();
        if (m_transport == kPlay)
            m_lastFileMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                                   Clock::now() - m_transportSince)
                                   .count();
        m_transport = kStop;
        m_transportSince = Clock::now();
    }
    return SimFrame::fixedAck();
}

uint32_t SimRecorder::currentTimecode() const
{
    return SimTimecode::timeOfDay(microsSinceMidnight(), m_userParams.at(51));
}

uint32_t SimRecorder::fileTime() const
{
    if (m_transport == kStop)
        return SimTimecode::elapsed(m_lastFileMicros);
    return SimTimecode::elapsed(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_transportSince)
            .count());
}

Bytes SimRecorder::timeCode()
{
    Bytes body;
    put32(body, currentTimecode());
    put32(body, uint32_t(microsSinceMidnight() / 1000000)); // seconds since midnight
    put32(body, fileTime());
    return SimFrame::reply(body);
}

void SimRecorder::updateMeters()
{
    const auto now = Clock::now();
    const double t = std::chrono::duration<double>(now - m_start).count();
    const double dt = std::chrono::duration<double>(now - m_lastMeterUpdate).count();
    m_lastMeterUpdate = now;
    std::uniform_int_distribution<int> noise(0, 3);
    const int fall = int(dt * 20.0); // peak falls 20 dB per second
    for (int c = 0; c < 12; ++c) {
        int level = 41; // X1 and X2 carry no signal
        if (c < 10) {
            const double wave = 0.5 + 0.5 * std::sin(2.0 * M_PI * (0.3 + 0.07 * c) * t + c);
            level = 6 + c + int(std::lround(18.0 * wave)) + noise(m_random);
            level = std::clamp(level, 0, 40);
        }
        m_level[c] = uint8_t(level);
        const int peak = std::min(int(m_peak[c]) + fall, 41);
        m_peak[c] = uint8_t(std::min(peak, level));
    }
}

Bytes SimRecorder::meters(const Bytes& p)
{
    updateMeters();
    Bytes body{p.empty() ? uint8_t(1) : p[0]};
    for (int c = 0; c < 12; ++c) {
        body.push_back(m_level[c]);
        body.push_back(m_peak[c]);
    }
    return SimFrame::reply(body);
}

Bytes SimRecorder::metersGet()
{
    updateMeters();
    // Mix pairs: L, R, then the two auxiliary channels.
    return SimFrame::reply({m_level[0], m_peak[0], m_level[1], m_peak[1], m_level[10], m_peak[10],
                            m_level[11], m_peak[11]});
}

Bytes SimRecorder::deviceInfo(const Bytes& p)
{
    const uint8_t selector = p.empty() ? 0 : p[0];
    if (selector >= sizeof(kDeviceInfoReply))
        return SimFrame::statusAck(1);
    const size_t dataBytes = kDeviceInfoReply[selector] - 5u;
    static const uint8_t serial[] = {'R', '9', 'K', '0', '4', '2', '7', '1'};
    Bytes body;
    for (size_t i = 0; i < dataBytes; ++i)
        body.push_back(selector == 3 ? serial[i % sizeof(serial)] : uint8_t(selector * 16 + i));
    return SimFrame::reply(body);
}

Bytes SimRecorder::takeList(const Bytes& p)
{
    if (p.size() < 5)
        return SimFrame::statusAck(5, "Malformed request");
    uint32_t first = get32(p, 0);
    if (first == 0)
        first = 1;
    const int count = std::min<int>(p[4], kMaxListIds);
    Bytes payload;
    for (int i = 0; i < count; ++i) {
        const uint64_t at = uint64_t(first) - 1 + uint64_t(i);
        if (at >= m_takes.size())
            break;
        put32(payload, m_takes[size_t(at)].id);
    }
    return dataReply(0x38, payload);
}

SimRecorder::Take* SimRecorder::findTake(uint32_t id)
{
    for (Take& t : m_takes)
        if (t.id == id)
            return &t;
    return nullptr;
}

Bytes SimRecorder::takeParam(const Bytes& p)
{
    if (p.size() < 5)
        return SimFrame::statusAck(5, "Malformed request");
    const Take* t = findTake(get32(p, 0));
    if (!t)
        return SimFrame::statusAck(5, "No such take");
    Bytes value;
    auto text = [&value](const std::string& s) {
        value.assign(s.begin(), s.end());
        value.push_back(0);
    };
    switch (p[4]) {
    case 0:
        text(t->fileName);
        break;
    case 1:
        text(t->take);
        break;
    case 2:
        text(t->scene);
        break;
    case 3:
        text(t->notes);
        break;
    case 4:
        value.push_back(t->circled ? 1 : 0);
        break;
    case 5:
        value.push_back(t->secondFlag ? 1 : 0);
        break;
    case 6:
        put32(value, t->startTc);
        break;
    default:
        return SimFrame::statusAck(1);
    }
    return dataReply(0x39, value);
}

Bytes SimRecorder::setTakeParam(const Bytes& p)
{
    if (p.size() < 5)
        return SimFrame::statusAck(5, "Malformed request");
    Take* t = findTake(get32(p, 0));
    if (!t)
        return SimFrame::statusAck(5, "No such take");
    const uint8_t id = p[4];
    const Bytes value(p.begin() + 5, p.end());
    if (id == 4 || id == 5) {
        if (value.size() != 1)
            return SimFrame::statusAck(5, "Malformed flag value");
        (id == 4 ? t->circled : t->secondFlag) = value[0] != 0;
        noteChange(kChangedParams, t->id);
        return SimFrame::statusAck(0);
    }
    if (id < 1 || id > 3)
        return SimFrame::statusAck(1); // file name and start timecode are the recorder's
    if (value.empty() || value.back() != 0 ||
        std::find(value.begin(), value.end(), 0) != value.end() - 1)
        return SimFrame::statusAck(5, "Malformed text value");
    const std::string text(value.begin(), value.end() - 1);
    if (!printable(text))
        return SimFrame::statusAck(5, "Text must be printable ASCII");
    if (id == 1) {
        if (text.empty() || text.size() > kMaxTakeDigits ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return SimFrame::statusAck(5, "Take must be 1 to 5 digits");
        t->take = text;
    } else if (id == 2) {
        const bool ok = !text.empty() && text.size() <= kMaxScene &&
                        std::all_of(text.begin(), text.end(), [](char c) {
                            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                                   c == '_' || c == '.';
                        });
        if (!ok)
            return SimFrame::statusAck(5, "Scene must be 1 to 9 of A-Z 0-9 - _ .");
        t->scene = text;
    } else {
        if (text.size() > kMaxNotes)
            return SimFrame::statusAck(5, "Notes are limited to 200 characters");
        t->notes = text;
    }
    noteChange(kChangedParams, t->id);
    return SimFrame::statusAck(0);
}

Bytes SimRecorder::falseTake(const Bytes& p)
{
    if (p.size() < 4)
        return SimFrame::statusAck(5, "Malformed request");
    const uint32_t id = get32(p, 0);
    if (!findTake(id))
        return SimFrame::statusAck(5, "No such take");
    if (m_takes.size() < 2 || m_takes[1].id != id)
        return SimFrame::statusAck(5, "Only the last recorded take can be false");
    if (m_transport == kRecord)
        return SimFrame::statusAck(2); // cannot drop the take being recorded
    m_takes.erase(m_takes.begin() + 1);
    noteChange(kChangedRemoved, id);
    return SimFrame::statusAck(0);
}

Bytes SimRecorder::takeListChanges()
{
    Bytes payload{m_changeBits};
    put32(payload, m_changeBits == 0 || m_changeMixed ? 0 : m_changeTake);
    m_changeBits = 0;
    m_changeTake = 0;
    m_changeMixed = false;
    return dataReply(0x4E, payload);
}

void SimRecorder::noteChange(uint8_t bits, uint32_t take)
{
    if (m_changeBits == 0)
        m_changeTake = take;
    else if (take != m_changeTake)
        m_changeMixed = true;
    m_changeBits |= bits;
}

SimRecorder::Take SimRecorder::makeNextTake(const Take* previous)
{
    Take t;
    t.id = m_nextId++;
    t.scene = previous ? previous->scene : m_options.scene;
    unsigned long number = 1;
    if (previous && !previous->take.empty() && previous->take.size() <= kMaxTakeDigits &&
        std::all_of(previous->take.begin(), previous->take.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
        number = std::stoul(previous->take) + 1;
    t.take = std::to_string(number % 100000);
    t.fileName = t.scene + "-T" + twoDigits(t.take) + ".WAV";
    return t;
}

void SimRecorder::startRecording()
{
    Take& next = m_takes.front();
    next.recorded = true;
    next.fileName = next.scene + "-T" + twoDigits(next.take) + ".WAV";
    next.startTc = currentTimecode();
    const uint32_t id = next.id;
    m_takes.push_front(makeNextTake(&next));
    while (m_takes.size() > kMaxTakes)
        m_takes.pop_back();
    m_transport = kRecord;
    m_transportSince = Clock::now();
    noteChange(kChangedAdded, id);
}

void SimRecorder::stopRecording()
{
    m_lastFileMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_transportSince)
            .count();
    if (m_takes.size() >= 2)
        noteChange(kChangedClosed, m_takes[1].id);
}

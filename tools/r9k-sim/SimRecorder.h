#pragma once

#include "SimFrame.h"
#include "SimOptions.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>

// The simulated recorder: identity, user parameters, transport, clocks,
// meters and take list, answering one request at a time. Faults and timing
// are the line's business (SimLine); this class only knows what a healthy
// recorder would answer. Single-threaded.
class SimRecorder
{
public:
    using Clock = std::chrono::steady_clock;

    enum Transport : uint8_t { kStop = 0, kPlay = 1, kRecord = 2 };

    // Change bits of the take-list change report.
    static constexpr uint8_t kChangedParams = 0x01;  // a take's parameters
    static constexpr uint8_t kChangedAdded = 0x02;   // a take was added
    static constexpr uint8_t kChangedRemoved = 0x04; // a take was removed
    static constexpr uint8_t kChangedClosed = 0x08;  // a recording ended

    struct Take {
        uint32_t id = 0;
        std::string fileName;
        std::string take;
        std::string scene;
        std::string notes;
        bool circled = false;
        bool secondFlag = false;
        uint32_t startTc = 0;
        bool recorded = false;
    };

    explicit SimRecorder(const SimOptions& options);

    // True for the commands answered with a variable-length reply.
    static bool isVariableCommand(uint8_t command);
    // The reply packet for one request.
    SimFrame::Bytes handle(const SimFrame::Request& request);
    // Called regularly by the line; runs the simulated front-panel edits.
    void tick();

    uint8_t transport() const { return m_transport; }
    const std::deque<Take>& takes() const { return m_takes; }

private:
    SimFrame::Bytes version(const SimFrame::Bytes& p);
    SimFrame::Bytes userGet(const SimFrame::Bytes& p);
    SimFrame::Bytes setTransport(const SimFrame::Bytes& p);
    SimFrame::Bytes timeCode();
    SimFrame::Bytes meters(const SimFrame::Bytes& p);
    SimFrame::Bytes metersGet();
    SimFrame::Bytes deviceInfo(const SimFrame::Bytes& p);
    SimFrame::Bytes takeList(const SimFrame::Bytes& p);
    SimFrame::Bytes takeParam(const SimFrame::Bytes& p);
    SimFrame::Bytes setTakeParam(const SimFrame::Bytes& p);
    SimFrame::Bytes falseTake(const SimFrame::Bytes& p);
    SimFrame::Bytes takeListChanges();

    void startRecording();
    void stopRecording();
    Take makeNextTake(const Take* previous);
    Take* findTake(uint32_t id);
    void noteChange(uint8_t bits, uint32_t take);
    uint32_t currentTimecode() const;
    uint32_t fileTime() const;
    void updateMeters();

    SimOptions m_options;
    std::mt19937 m_random;
    std::map<uint16_t, uint16_t> m_userParams;
    uint8_t m_transport = kStop;
    Clock::time_point m_transportSince;
    Clock::time_point m_start;
    Clock::time_point m_lastPanelEdit;
    unsigned m_panelEdits = 0;
    int64_t m_lastFileMicros = 0;
    // Newest first: [0] the next take, [1] the current (last recorded) one.
    std::deque<Take> m_takes;
    uint32_t m_nextId = 1001;
    uint8_t m_changeBits = 0;
    uint32_t m_changeTake = 0;
    bool m_changeMixed = false;
    // Meter state: level and held peak per channel, dB below full scale.
    uint8_t m_level[12] = {};
    uint8_t m_peak[12] = {};
    Clock::time_point m_lastMeterUpdate;
};

#pragma once

#include "SimFrame.h"
#include "SimOptions.h"
#include "SimRecorder.h"

#include <chrono>
#include <csignal>
#include <deque>
#include <random>

// The recorder's end of the serial line: reads requests from the pty master,
// has the recorder answer them, applies the faults asked for on the command
// line and writes the replies, in request order, when they are due.
// Single-threaded; waits in poll(), never spins.
class SimLine
{
public:
    using Clock = std::chrono::steady_clock;

    SimLine(int masterFd, SimRecorder& recorder, const SimOptions& options);

    // Serves the line until stop becomes non-zero. Returns the exit status.
    int run(const volatile std::sig_atomic_t& stop);

private:
    struct Pending {
        Clock::time_point due;
        SimFrame::Bytes bytes;
    };

    void readInput();
    void onRequest(const SimFrame::Request& request);
    void queueDue(Clock::time_point now);
    bool writeOutput();
    void writeFlood();
    int pollTimeoutMs(Clock::time_point now) const;
    void log(const char* what, const SimFrame::Bytes& bytes) const;

    int m_fd;
    SimRecorder& m_recorder;
    SimOptions m_options;
    std::mt19937 m_random;
    SimFrame::Parser m_parser;
    std::deque<Pending> m_queue;
    SimFrame::Bytes m_output;
    Clock::time_point m_lastInput;
    Clock::time_point m_lastDue;
    unsigned long m_requests = 0;
    unsigned long m_variableRequests = 0;
    unsigned long m_replies = 0;
};

#include "SimLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace
{
// A packet that has not completed within this time loses its sync byte.
constexpr int kStalePartialMs = 100;
// Upper bound of one poll() so the recorder's own clock work keeps running.
constexpr int kIdleTickMs = 50;
constexpr size_t kFloodChunk = 256;
} // namespace

SimLine::SimLine(int masterFd, SimRecorder& recorder, const SimOptions& options)
    : m_fd(masterFd), m_recorder(recorder), m_options(options), m_random(options.seed + 7),
      m_lastInput(Clock::now()), m_lastDue(Clock::now())
{
}

void SimLine::log(const char* what, const SimFrame::Bytes& bytes) const
{
    if (!m_options.verbose)
        return;
    std::fprintf(stderr, "r9k-sim: %s", what);
    for (size_t i = 0; i < bytes.size() && i < 32; ++i)
        std::fprintf(stderr, " %02X", bytes[i]);
    std::fprintf(stderr, bytes.size() > 32 ? " ...\n" : "\n");
}

int SimLine::pollTimeoutMs(Clock::time_point now) const
{
    int timeout = kIdleTickMs;
    if (!m_queue.empty()) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_queue.front().due - now)
                .count();
        timeout = std::min<int>(timeout, int(std::max<long long>(wait, 0)));
    }
    if (m_parser.hasPartial())
        timeout = std::min(timeout, kStalePartialMs);
    if (m_options.flood)
        timeout = std::min(timeout, 1);
    return timeout;
}

int SimLine::run(const volatile std::sig_atomic_t& stop)
{
    while (!stop) {
        const Clock::time_point now = Clock::now();
        pollfd p{m_fd, POLLIN, 0};
        if (!m_output.empty())
            p.events |= POLLOUT;
        const int r = ::poll(&p, 1, pollTimeoutMs(now));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("r9k-sim: poll");
            return 1;
        }
        if (r > 0 && (p.revents & POLLIN))
            readInput();
        if (r > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLIN))
            usleep(10000); // no terminal side yet: do not spin
        if (m_parser.hasPartial() &&
            Clock::now() - m_lastInput > std::chrono::milliseconds(kStalePartialMs)) {
            m_parser.dropStalePartial();
            SimFrame::Request request;
            while (m_parser.next(&request))
                onRequest(request);
        }
        m_recorder.tick();
        queueDue(Clock::now());
        if (!writeOutput())
            return 1;
        if (m_options.flood && m_output.empty())
            writeFlood();
    }
    return 0;
}

void SimLine::readInput()
{
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof(buffer));
        if (n > 0) {
            m_parser.feed(buffer, size_t(n));
            m_lastInput = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN, or EIO while no terminal side is open
    }
    SimFrame::Request request;
    while (m_parser.next(&request))
        onRequest(request);
}

void SimLine::onRequest(const SimFrame::Request& request)
{
    if (request.address != m_options.address) {
        if (m_options.verbose)
            std::fprintf(stderr, "r9k-sim: ignoring request for address %u\n", request.address);
        return;
    }
    SimFrame::Bytes shown{request.command};
    shown.insert(shown.end(), request.payload.begin(), request.payload.end());
    log("request", shown);

    ++m_requests;
    if (m_options.dropEvery > 0 && m_requests % unsigned(m_options.dropEvery) == 0) {
        log("dropped request", shown);
        return;
    }
    SimFrame::Bytes reply;
    if (SimRecorder::isVariableCommand(request.command)) {
        ++m_variableRequests;
        if (m_options.busyEvery > 0 && m_variableRequests % unsigned(m_options.busyEvery) == 0)
            reply = SimFrame::statusAck(3);
        else if (m_options.errorEvery > 0 &&
                 m_variableRequests % unsigned(m_options.errorEvery) == 0)
            reply = SimFrame::statusAck(5, "Simulated recorder error");
    }
    if (reply.empty())
        reply = m_recorder.handle(request);

    ++m_replies;
    if (m_options.corruptEvery > 0 && m_replies % unsigned(m_options.corruptEvery) == 0 &&
        reply.size() > 3) {
        // Damage a byte after the length byte: the check bytes no longer fit.
        std::uniform_int_distribution<size_t> at(3, reply.size() - 1);
        reply[at(m_random)] ^= 0x5A;
    }
    if (m_options.halfEvery > 0 && m_replies % unsigned(m_options.halfEvery) == 0)
        reply.resize(std::max<size_t>(1, reply.size() / 2));
    if (m_options.garbage) {
        std::uniform_int_distribution<int> count(1, 24);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = count(m_random); i > 0; --i)
            reply.push_back(uint8_t(byte(m_random)));
    }
    int delay = m_options.delayMs;
    if (request.command == 0x3A)
        delay += m_options.slowWriteMs;
    // Replies leave in request order: a late one holds back those behind it.
    const Clock::time_point due =
        std::max(Clock::now() + std::chrono::milliseconds(delay), m_lastDue);
    m_lastDue = due;
    log("reply", reply);
    m_queue.push_back(Pending{due, std::move(reply)});
}

void SimLine::queueDue(Clock::time_point now)
{
    while (!m_queue.empty() && m_queue.front().due <= now) {
        // One write per reply keeps a reply and its trailing noise together.
        if (!m_output.empty())
            break;
        m_output = std::move(m_queue.front().bytes);
        m_queue.pop_front();
        if (!writeOutput())
            return;
    }
}

bool SimLine::writeOutput()
{
    while (!m_output.empty()) {
        const ssize_t n = ::write(m_fd, m_output.data(), m_output.size());
        if (n > 0) {
            m_output.erase(m_output.begin(), m_output.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO))
            return true; // line full or no terminal side: retry later
        std::perror("r9k-sim: write");
        return false;
    }
    return true;
}

void SimLine::writeFlood()
{
    std::uniform_int_distribution<int> byte(0, 255);
    uint8_t chunk[kFloodChunk];
    for (uint8_t& b : chunk)
        b = uint8_t(byte(m_random));
    // Whatever the line does not take now is simply lost.
    const ssize_t n = ::write(m_fd, chunk, sizeof(chunk));
    (void)n;
}

#include "TakeParallel.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace TakeParallel
{

namespace
{
constexpr int kMaxThreads = 8;
constexpr int kMinPerThread = 32; // below this a thread costs more than it saves
} // namespace

void forEach(int count, const std::function<void(int)>& job)
{
    const int threads = std::min({QThread::idealThreadCount(), kMaxThreads, count / kMinPerThread});
    if (threads <= 1) {
        for (int i = 0; i < count; ++i)
            job(i);
        return;
    }
    std::atomic<int> next{0};
    auto worker = [&] {
        for (int i = next++; i < count; i = next++)
            job(i);
    };
    std::vector<std::thread> pool;
    pool.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool)
        t.join();
}

} // namespace TakeParallel

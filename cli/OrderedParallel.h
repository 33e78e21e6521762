#pragma once

#include <QThread>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

// Computes work(i) for i = 0 .. count-1 on all cores and hands every result
// to deliver(i, result) on the calling thread, in index order. Works in windows
// so that memory stays bounded however many items there are. work must be
// safe to run concurrently for different i; deliver runs on the caller's thread.
template <typename Result, typename Work, typename Deliver>
void orderedParallel(int count, Work work, Deliver deliver, int window = 256)
{
    const int threads = std::clamp(QThread::idealThreadCount(), 1, 8);
    std::vector<Result> results;
    for (int start = 0; start < count; start += window) {
        const int end = std::min(count, start + window);
        results.assign(size_t(end - start), Result());
        std::atomic<int> next(start);
        auto run = [&]() {
            for (int i = next++; i < end; i = next++)
                results[size_t(i - start)] = work(i);
        };
        std::vector<std::thread> helpers;
        for (int t = 1; t < threads && t < end - start; ++t)
            helpers.emplace_back(run);
        run();
        for (std::thread& h : helpers)
            h.join();
        for (int i = start; i < end; ++i)
            deliver(i, results[size_t(i - start)]);
    }
}

#pragma once

#include <functional>

// Runs job(0) .. job(count - 1) on a few worker threads (at most the number
// of cores, at most 8) and returns when all have run. Each index runs exactly
// once, in no particular order; jobs must not touch shared state without
// their own locking. Small counts run on the calling thread. Used to read
// many take-file headers at once: each read is independent, and the parse
// of the headers, not the disk, is what takes the time.
namespace TakeParallel
{
void forEach(int count, const std::function<void(int)>& job);
}

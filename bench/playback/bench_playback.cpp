// The mixing step of playback: 32 channels of 24-bit audio at 48 kHz in
// 512-frame blocks (conversion, gain, routing, clamping, meters), one core.
// A block lasts 512 / 48000 s ≈ 10.7 ms of sound; the counter "x_realtime"
// says how many blocks' worth of sound one block's mixing time would play.
// The goal is at least 200.
#include "PlaybackMix.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace Playback;

namespace
{

void BM_MixBlock(benchmark::State& state)
{
    const int channels = int(state.range(0));
    const int frames = 512;
    const double rate = 48000.0;
    std::vector<uchar> in(size_t(frames) * size_t(channels) * 3);
    std::mt19937 rng(7);
    for (uchar& b : in)
        b = uchar(rng());
    MixSettings s;
    for (int c = 0; c < kMixChannels; ++c)
        s.gain[size_t(c)] = 0.5f + float(c) / 64.0f;
    s.route[3] = 3;
    s.mute[5] = true;
    std::vector<float> out(size_t(frames) * 2);
    MeterAccum m;
    for (auto _ : state) {
        mixBlock(in.data(), frames, channels, SampleFormat::S24, s, &m, out.data(), 2);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames);
    // Seconds of sound per second of mixing.
    state.counters["x_realtime"] =
        benchmark::Counter(double(state.iterations()) * frames / rate, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_MixBlock)->Arg(32)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

// Take listing and grouping on one folder of a shooting day: 10,000 mono
// files, 1,250 takes of 8 tracks, each file 1 s of 48 kHz 24-bit audio.
//
// Compared in the same run, page cache warm for all:
//   MinimalReader       lists the folder, opens each file and reads its
//                       first 64 KiB: the floor for any tool that must look
//                       inside every file.
//   AudioFileOpenAll    AudioFile::Open on every file, one thread: the cost
//                       of the take-file reader itself.
//   CliTakes            "velmora-cli takes --json FOLDER", a whole process;
//                       its peak resident memory is printed with the ratios.
//   Import              one import of the folder in process, through the
//                       take list's import (TakeImporter::read, addTo).
//   GetTakeFilesAll     for every take, open its file and call
//                       KQHelper::getTakeFiles, as save, rename, copy and
//                       delete do: after an import (warm) and from an empty
//                       cache (cold).
//   PlainPerCall        one getTakeFiles call done the plain way (list the
//                       folder, open every file), for scale.
// A summary with the ratios follows the table; the take-list ratio is then
// measured once more with the minimal reader and the CLI taking turns, best
// of seven each, with their processor times: on a machine busy with other
// work that is the figure to trust.

#include "AudioFile.h"
#include "AudioFileModel.h"
#include "KQHelper.h"
#include "TakeFolderCache.h"
#include "TakeImporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int kTakes = 1250;
constexpr int kTracks = 8;
constexpr int kFiles = kTakes * kTracks;
const char kMarker[] = ".velmora-bench-complete"; // hidden: never listed

QString folder()
{
    const QByteArray env = qgetenv("VELMORA_BENCH_TAKES_DIR");
    return env.isEmpty() ? QStringLiteral("/tmp/velmora-bench-takes") : QString::fromLocal8Bit(env);
}

// The CLI to measure: this build's, or VELMORA_BENCH_CLI (an older build to
// compare with in the same run of the machine).
QString cliPath()
{
    const QByteArray env = qgetenv("VELMORA_BENCH_CLI");
    return env.isEmpty() ? QStringLiteral(VELMORA_CLI) : QString::fromLocal8Bit(env);
}

// Makes the folder once; later runs reuse it.
bool ensureFolder()
{
    const QString dir = folder();
    if (QFile::exists(QDir(dir).filePath(kMarker)) && KQHelper::takeFileNames(dir).size() == kFiles)
        return true;
    QDir(dir).removeRecursively();
    std::fprintf(stderr, "bench_takes: writing %d files into %s ...\n", kFiles, qPrintable(dir));
    QProcess demo;
    demo.setStandardOutputFile(QProcess::nullDevice());
    demo.start(VELMORA_CLI, {"demo", dir, "--takes", QString::number(kTakes), "--seconds", "1",
                             "--layout", "mono", "--channels", QString::number(kTracks)});
    if (!demo.waitForFinished(-1) || demo.exitCode() != 0)
        return false;
    QFile marker(QDir(dir).filePath(kMarker));
    return marker.open(QIODevice::WriteOnly) && KQHelper::takeFileNames(dir).size() == kFiles;
}

QStringList takePaths()
{
    QStringList paths;
    const QDir dir(folder());
    for (const QString& n : KQHelper::takeFileNames(folder()))
        paths << dir.filePath(n);
    return paths;
}

// One import of the folder through the take list's own import path.
void importFolder(AudioFileModel& model, const std::shared_ptr<TakeFolderCache>& cache)
{
    TakeImporter::Request request;
    request.paths = {folder()};
    request.origin = TakeImporter::Origin::Drop;
    request.cache = cache;
    TakeImporter::addTo(model, TakeImporter::read(request).takes);
}

// The floor: lists the folder, opens each file and reads its first 64 KiB.
// Returns the number of files listed.
int readHeads()
{
    static std::vector<char> buffer(64 * 1024);
    const QStringList names =
        QDir(folder()).entryList({"*.WAV", "*.wav", "*.bwf", "*.BWF"}, QDir::Files, QDir::Name);
    qint64 total = 0;
    for (const QString& n : names) {
        const QByteArray path = QFile::encodeName(folder() + '/' + n);
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd < 0)
            continue;
        total += ::read(fd, buffer.data(), buffer.size());
        ::close(fd);
    }
    benchmark::DoNotOptimize(total);
    return int(names.size());
}

// One "velmora-cli takes --json" of the folder, output discarded.
bool runCliTakes()
{
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.start(cliPath(), {"takes", "--json", folder()});
    return cli.waitForFinished(-1) && cli.exitCode() == 0;
}

void BM_MinimalReader(benchmark::State& state)
{
    for (auto _ : state) {
        if (readHeads() != kFiles)
            state.SkipWithError("wrong file count");
    }
}

// The take-file reader alone, one thread: what any import must pay per file.
void BM_AudioFileOpenAll(benchmark::State& state)
{
    const QStringList paths = takePaths();
    for (auto _ : state) {
        int ok = 0;
        for (const QString& p : paths) {
            AudioFile f;
            ok += f.Open(p) ? 1 : 0;
        }
        if (ok != kFiles)
            state.SkipWithError("a file did not open");
    }
}

void BM_CliTakes(benchmark::State& state)
{
    for (auto _ : state) {
        if (!runCliTakes())
            state.SkipWithError("velmora-cli takes failed");
    }
}

void BM_Import(benchmark::State& state)
{
    for (auto _ : state) {
        AudioFileModel model;
        importFolder(model, std::make_shared<TakeFolderCache>());
        if (model.rowCount() != kTakes)
            state.SkipWithError("wrong take count");
    }
}

// Every take's files, found the way the operations find them.
bool allTakes(TakeFolderCache& cache, const AudioFileModel& model)
{
    bool ok = true;
    for (int row = 0; row < model.rowCount(); ++row) {
        AudioFile f;
        QStringList files;
        QString name;
        ok = f.Open(model.data(model.index(row, 30)).toString()) && ok;
        KQHelper::getTakeFiles(cache, &f, files, name);
        ok = ok && files.size() == kTracks;
    }
    return ok;
}

void BM_GetTakeFilesAll_AfterImport(benchmark::State& state)
{
    auto cache = std::make_shared<TakeFolderCache>();
    AudioFileModel model;
    importFolder(model, cache);
    cache->resetCounters();
    for (auto _ : state) {
        if (!allTakes(*cache, model))
            state.SkipWithError("wrong take");
    }
    state.counters["headerReads/iter"] =
        double(cache->counters().headerReads) / double(state.iterations());
}

void BM_GetTakeFilesAll_Cold(benchmark::State& state)
{
    auto cache = std::make_shared<TakeFolderCache>();
    AudioFileModel model;
    importFolder(model, cache);
    cache->resetCounters();
    for (auto _ : state) {
        cache->clear();
        if (!allTakes(*cache, model))
            state.SkipWithError("wrong take");
    }
    state.counters["headerReads/iter"] =
        double(cache->counters().headerReads) / double(state.iterations());
}

// One call of the plain form: list the folder and open every file.
void BM_PlainPerCall(benchmark::State& state)
{
    const QStringList paths = takePaths();
    AudioFile given;
    given.Open(paths.at(kFiles / 2));
    const QString stem = KQHelper::nameStem(QFileInfo(given.fileName()).fileName());
    for (auto _ : state) {
        int members = 0;
        const QDir dir(folder());
        for (const QString& n : dir.entryList({"*.WAV", "*.wav", "*.bwf", "*.BWF"},
                                              QDir::Files | QDir::NoSymLinks, QDir::Name)) {
            AudioFile c;
            if (c.Open(dir.filePath(n)) && KQHelper::nameStem(n) == stem &&
                c.GetTotalSamples() == given.GetTotalSamples() &&
                c.GetSampleRate() == given.GetSampleRate() &&
                c.GetSamplesSinceMidnight() == given.GetSamplesSinceMidnight() &&
                c.GetChannels() == 1)
                ++members;
        }
        if (members != kTracks)
            state.SkipWithError("wrong take");
    }
}

BENCHMARK(BM_MinimalReader)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_AudioFileOpenAll)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CliTakes)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_GetTakeFilesAll_AfterImport)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK(BM_GetTakeFilesAll_Cold)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_PlainPerCall)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Keeps each benchmark's mean real time (ms) for the summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (!r.error_occurred)
                m_ms[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
    }
    double ms(const std::string& prefix) const
    {
        for (const auto& [name, value] : m_ms) {
            if (name.rfind(prefix, 0) == 0)
                return value;
        }
        return 0;
    }

private:
    std::map<std::string, double> m_ms;
};

void printRatio(const char* what, double a, double b)
{
    if (a > 0 && b > 0)
        std::printf("  %-46s %8.1f ms / %8.1f ms = %5.2f\n", what, a, b, a / b);
}

double cpuMs(int who)
{
    struct rusage u;
    if (::getrusage(who, &u) != 0)
        return 0;
    return (double(u.ru_utime.tv_sec) + double(u.ru_stime.tv_sec)) * 1000.0 +
           (double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_usec)) / 1000.0;
}

// The take-list ratio once more, the two runs taking turns: a machine busy
// with other work slows single runs; the best of each pair of series is what
// the two cost. The processor time (user and system) is shown beside it.
void printAlternatingRatio(int rounds)
{
    double bestMinimal = 0, bestCli = 0, cpuMinimal = 0, cpuCli = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        double cpu0 = cpuMs(RUSAGE_SELF);
        t.start();
        readHeads();
        const double minimal = double(t.nsecsElapsed()) / 1e6;
        const double minimalCpu = cpuMs(RUSAGE_SELF) - cpu0;
        cpu0 = cpuMs(RUSAGE_CHILDREN);
        t.restart();
        if (!runCliTakes())
            return;
        const double cli = double(t.nsecsElapsed()) / 1e6;
        const double cliCpu = cpuMs(RUSAGE_CHILDREN) - cpu0;
        if (i == 0 || minimal < bestMinimal)
            bestMinimal = minimal;
        if (i == 0 || cli < bestCli)
            bestCli = cli;
        if (i == 0 || minimalCpu < cpuMinimal)
            cpuMinimal = minimalCpu;
        if (i == 0 || cliCpu < cpuCli)
            cpuCli = cliCpu;
    }
    std::printf("  best of %d, taking turns:\n", rounds);
    printRatio("velmora-cli takes --json / minimal reader", bestCli, bestMinimal);
    printRatio("  processor time (user + system)", cpuCli, cpuMinimal);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!ensureFolder()) {
        std::fprintf(stderr, "bench_takes: cannot make the take folder\n");
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double minimal = reporter.ms("BM_MinimalReader");
    const double cli = reporter.ms("BM_CliTakes");
    const double reader = reporter.ms("BM_AudioFileOpenAll");
    const double import = reporter.ms("BM_Import");
    const double warm = reporter.ms("BM_GetTakeFilesAll_AfterImport");
    const double cold = reporter.ms("BM_GetTakeFilesAll_Cold");
    const double plainCall = reporter.ms("BM_PlainPerCall");
    std::printf("\n%d files, %d takes of %d, in %s\n", kFiles, kTakes, kTracks,
                qPrintable(folder()));
    printRatio("AudioFile::Open x10000, one thread / minimal", reader, minimal);
    printRatio("velmora-cli takes --json / minimal reader", cli, minimal);
    printRatio("import in process / minimal reader", import, minimal);
    printRatio("getTakeFiles x1250 after import / import", warm, import);
    printRatio("getTakeFiles x1250 from empty cache / import", cold, import);
    // The largest child is the CLI (the folder, when it had to be written,
    // was written by a smaller process).
    struct rusage children;
    if (cli > 0 && ::getrusage(RUSAGE_CHILDREN, &children) == 0)
        std::printf("  velmora-cli takes --json peak memory: %ld MiB\n", children.ru_maxrss / 1024);
    if (plainCall > 0)
        std::printf("  plain getTakeFiles: %.1f ms per call, x%d = %.1f s\n", plainCall, kTakes,
                    plainCall * kTakes / 1000.0);
    if (cli > 0)
        printAlternatingRatio(7);
    return 0;
}

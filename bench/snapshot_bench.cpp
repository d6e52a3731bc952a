// Times what `lbm_trace --vtk DIR --every 1 1000` does against what
// `lbm_trace 1000` does: 1,000 steps from start-up with a snapshot at start-up
// and after every step, and the same steps without, repetitions of the two
// interleaved. Prints the ratio of the median times and one snapshot's size.
// Then what `lbm_trace --resume FILE` does before its first step (the file
// read, checked and its lattice built) against one step of a warm lattice.
//
// usage: snapshot_bench [DIR] [Google Benchmark options]
// The snapshots go into fresh subdirectories of DIR (./snapshot_bench.out by
// default, created if missing), which are removed at the end, and DIR too
// when that leaves it empty.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "lattice.h"
#include "bounded_file.h"
#include "median_reporter.h"
#include "snapshot_format.h"
#include "trace.h"
#include "warm_lattice.h"

namespace {

constexpr long STEPS = 1000;

std::filesystem::path g_directory = "snapshot_bench.out";
int g_runs = 0;

// One run of lbm_trace's work; with a directory, also its snapshots.
void run(const std::string* directory) {
    TraceRequest request;
    request.steps = STEPS;
    if (directory != nullptr) request.snapshotDirectory = *directory;
    const TraceOutcome outcome = runTrace(request);
    if (!outcome.snapshotFailures.empty()) {
        for (const std::string& failure : outcome.snapshotFailures) std::fprintf(stderr, "%s\n", failure.c_str());
        std::exit(1);
    }
}

void BM_Steps(benchmark::State& state) {
    for (auto _ : state) run(nullptr);
}

// Every run writes into a directory of its own, as a first run into a new
// directory does: no file is replaced.
void BM_StepsWithSnapshots(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const std::string directory = (g_directory / ("run_" + std::to_string(++g_runs))).string();
        state.ResumeTiming();
        run(&directory);
    }
}

// Encoding one snapshot in memory, without the file system.
void BM_Encode(benchmark::State& state) {
    const auto lattice = makeStartupLattice();
    for (int n = 0; n < 100; ++n) lattice->step();
    std::vector<unsigned char> file;
    for (auto _ : state) {
        encodeSnapshot(*lattice, SnapshotDescription{100, RunParameters{}}, file);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}

// Resuming the snapshot of step 100, written into DIR: the file read as
// lbm_trace reads it, checked, and its lattice built.
void BM_Resume(benchmark::State& state) {
    const std::string path = (g_directory / "resume.vti").string();
    std::vector<unsigned char> bytes;
    std::string reason;
    for (auto _ : state) {
        if (readBoundedFile(path, snapshotMaxBytes(), bytes, reason) != FileReading::Read) {
            state.SkipWithError(reason.c_str());
            break;
        }
        SnapshotReading reading;
        if (!readSnapshot(bytes.data(), bytes.size(), path, reading, reason)) {
            state.SkipWithError(reason.c_str());
            break;
        }
        const auto lattice = restoreLattice(bytes.data(), reading, reading.description.parameters);
        benchmark::DoNotOptimize(lattice.get());
    }
}

// One step of the lattice after 30 steps, without its report, going back to
// that state every 40 steps (as step_bench does), so that the numbers stay
// finite.
void BM_OneStep(benchmark::State& state) {
    WarmLattice warm;
    int steps = 0;
    for (auto _ : state) {
        if (++steps % 40 == 0) {
            state.PauseTiming();
            warm.restore();
            state.ResumeTiming();
        }
        warm.lattice.collide();
        warm.lattice.stream();
    }
}

BENCHMARK(BM_Steps)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepsWithSnapshots)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Resume)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneStep)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // Seven repetitions, interleaved, unless the command line says otherwise.
    std::vector<char*> arguments{argv[0]};
    std::string repetitions = "--benchmark_repetitions=7";
    std::string interleaving = "--benchmark_enable_random_interleaving=true";
    arguments.push_back(repetitions.data());
    arguments.push_back(interleaving.data());
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (count > 2) {
        std::fprintf(stderr, "usage: %s [DIR] [Google Benchmark options]\n", argv[0]);
        return 2;
    }
    if (count == 2) g_directory = arguments[1];
    std::error_code error;
    std::filesystem::create_directories(g_directory, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", g_directory.string().c_str(), error.message().c_str());
        return 1;
    }
    // The snapshot that BM_Resume reads.
    {
        const auto lattice = makeStartupLattice();
        for (int n = 0; n < 100; ++n) {
            lattice->collide();
            lattice->stream();
        }
        std::vector<unsigned char> file;
        encodeSnapshot(*lattice, SnapshotDescription{100, RunParameters{}}, file);
        std::ofstream((g_directory / "resume.vti").string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }
    // Every step prints its probe report: that goes to a null sink, the
    // results go to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;

    MedianReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    for (int n = 1; n <= g_runs; ++n) std::filesystem::remove_all(g_directory / ("run_" + std::to_string(n)), error);
    std::filesystem::remove(g_directory / "resume.vti", error);
    std::filesystem::remove(g_directory, error);  // only when empty

    std::vector<unsigned char> file;
    encodeSnapshot(Lattice(STARTUP_TAU, STARTUP_SPACING), SnapshotDescription{}, file);
    const double plain = reporter.seconds("BM_Steps");
    const double with = reporter.seconds("BM_StepsWithSnapshots");
    std::fprintf(stderr, "one snapshot: %zu bytes\n", file.size());
    if (plain > 0.0 && with > 0.0) {
        std::fprintf(stderr, "%ld steps: %.1f ms; with %ld snapshots: %.1f ms (%.0f us per snapshot); ratio %.2f\n",
                     STEPS, plain * 1e3, STEPS + 1, with * 1e3, (with - plain) / (STEPS + 1) * 1e6, with / plain);
    }
    const double resume = reporter.seconds("BM_Resume");
    const double step = reporter.seconds("BM_OneStep");
    if (resume > 0.0 && step > 0.0)
        std::fprintf(stderr, "resuming a snapshot: %.0f us; one step: %.0f us; ratio %.2f\n", resume * 1e6, step * 1e6,
                     resume / step);
    return 0;
}

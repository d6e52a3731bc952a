// Times one time step of the program's lattice, its two phases apart, and the
// memory floor of a step: touching fEq and fPost of every link once per phase.
// Prints cell updates per second and the ratio of the step to the floor.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "lattice.h"
#include "median_reporter.h"
#include "warm_lattice.h"

namespace {

// The values grow without bound; the lattice goes back to its warm state
// this often, so every timed step works on ordinary finite numbers.
constexpr int STEPS_BEFORE_RESET = 40;
constexpr int CELLS = NUM_LAYERS * GRID_SIZE * GRID_SIZE;

template <typename Work>
void runSteps(benchmark::State& state, Work work) {
    WarmLattice warm;
    int sinceReset = 0;
    for (auto _ : state) {
        if (sinceReset == STEPS_BEFORE_RESET) {
            state.PauseTiming();
            warm.restore();
            sinceReset = 0;
            state.ResumeTiming();
        }
        work(warm);
        ++sinceReset;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * CELLS);
}

void BM_Step(benchmark::State& state) {
    runSteps(state, [](WarmLattice& warm) { warm.lattice.step(); });
}

void BM_Collide(benchmark::State& state) {
    runSteps(state, [](WarmLattice& warm) { warm.lattice.collide(); });
}

// Streaming alone, after an untimed collision that gives it fresh post-collision values.
void BM_Stream(benchmark::State& state) {
    WarmLattice warm;
    int sinceReset = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (sinceReset == STEPS_BEFORE_RESET) {
            warm.restore();
            sinceReset = 0;
        }
        warm.lattice.collide();
        state.ResumeTiming();
        warm.lattice.stream();
        ++sinceReset;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * CELLS);
}

// Every link of every cell, once for each of the two phases: the least memory
// traffic a step can have.
void BM_Floor(benchmark::State& state) {
    WarmLattice warm;
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            for (LatticeLayer* layer : warm.lattice.layers)
                for (Cell* cell : layer->cells)
                    for (Link& link : cell->links) {
                        link.fEq = link.f;
                        link.fPost = link.f;
                    }
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * CELLS);
}

BENCHMARK(BM_Step);
BENCHMARK(BM_Collide);
BENCHMARK(BM_Stream);
BENCHMARK(BM_Floor);


}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // Every step prints its probe report: that goes to a null sink, the
    // results go to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;

    MedianReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double step = reporter.seconds("BM_Step");
    const double floor = reporter.seconds("BM_Floor");
    if (step > 0.0) std::fprintf(stderr, "step: %.1f us, %.3g cell updates per second\n", step * 1e6, CELLS / step);
    if (step > 0.0 && floor > 0.0) {
        std::fprintf(stderr, "floor: %.1f us; step / floor = %.2f\n", floor * 1e6, step / floor);
    }
    return 0;
}

// Times the time step with nothing but the standard library, so that the same
// program builds natively and as WebAssembly (run with node):
// scripts/web-bench.sh runs both side by side. Prints one line: the median
// time of one step's collision and streaming (without the report) over
// ROUNDS rounds of STEPS_PER_ROUND steps each.
//
// usage: plain_step_bench [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "lattice.h"

namespace {

constexpr int WARM_UP_STEPS = 30;
// The values grow without bound; every round starts again from the warm
// state, so every timed step works on ordinary finite numbers.
constexpr int STEPS_PER_ROUND = 40;

struct CellState {
    float intensity;
    float f[NUM_DIRECTIONS];
};

template <typename Visit>
void forEachCell(Lattice& lattice, Visit visit) {
    for (LatticeLayer* layer : lattice.layers)
        for (Cell* cell : layer->cells) visit(*cell);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 25;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: plain_step_bench [ROUNDS]\n");
        return 2;
    }
    const std::unique_ptr<Lattice> startup = makeStartupLattice();
    Lattice& lattice = *startup;
    for (int n = 0; n < WARM_UP_STEPS; ++n) {
        lattice.collide();
        lattice.stream();
    }
    std::vector<CellState> saved;
    forEachCell(lattice, [&](Cell& cell) {
        CellState state{cell.intensity, {}};
        for (int i = 0; i < NUM_DIRECTIONS; ++i) state.f[i] = cell.links[i].f;
        saved.push_back(state);
    });

    std::vector<double> perStep;
    for (int round = 0; round < rounds; ++round) {
        size_t index = 0;
        forEachCell(lattice, [&](Cell& cell) {
            const CellState& state = saved[index++];
            cell.intensity = state.intensity;
            for (int i = 0; i < NUM_DIRECTIONS; ++i) cell.links[i].f = state.f[i];
        });
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < STEPS_PER_ROUND; ++n) {
            lattice.collide();
            lattice.stream();
        }
        const auto end = std::chrono::steady_clock::now();
        perStep.push_back(std::chrono::duration<double>(end - start).count() / STEPS_PER_ROUND);
    }
    std::sort(perStep.begin(), perStep.end());
    std::printf("step_us %.2f (median of %d rounds of %d steps)\n", perStep[perStep.size() / 2] * 1e6, rounds,
                STEPS_PER_ROUND);
    return 0;
}

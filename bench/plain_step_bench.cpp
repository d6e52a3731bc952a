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
#include <vector>

#include "lattice.h"
#include "warm_lattice.h"

namespace {

// The values grow without bound; every round starts again from the warm
// state, so every timed step works on ordinary finite numbers.
constexpr int STEPS_PER_ROUND = 40;

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 25;
    if (rounds < 1) {
        std::fprintf(stderr, "usage: plain_step_bench [ROUNDS]\n");
        return 2;
    }
    WarmLattice warm;
    Lattice& lattice = warm.lattice;
    std::vector<double> perStep;
    for (int round = 0; round < rounds; ++round) {
        warm.restore();
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

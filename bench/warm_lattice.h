// The start-up lattice after a few steps, and the way back to that state. The
// values grow without bound, so the step benchmarks return to it every few
// steps and time ordinary finite numbers. Standard library only: the
// WebAssembly build of the plain step benchmark uses it too.
#pragma once

#include <memory>
#include <vector>

#include "lattice.h"

class WarmLattice {
public:
    static constexpr int WARM_UP_STEPS = 30;

    WarmLattice() : startup(makeStartupLattice()), lattice(*startup) {
        // Steps without their reports.
        for (int n = 0; n < WARM_UP_STEPS; ++n) {
            lattice.collide();
            lattice.stream();
        }
        forEachCell([this](Cell& cell) {
            CellState state{cell.intensity, {}};
            for (int i = 0; i < NUM_DIRECTIONS; ++i) state.f[i] = cell.links[i].f;
            saved.push_back(state);
        });
    }

    // Back to the state after the warm-up steps.
    void restore() {
        size_t index = 0;
        forEachCell([&](Cell& cell) {
            const CellState& state = saved[index++];
            cell.intensity = state.intensity;
            for (int i = 0; i < NUM_DIRECTIONS; ++i) cell.links[i].f = state.f[i];
        });
    }

    template <typename Visit>
    void forEachCell(Visit visit) {
        for (LatticeLayer* layer : lattice.layers)
            for (Cell* cell : layer->cells) visit(*cell);
    }

    std::unique_ptr<Lattice> startup;
    Lattice& lattice;

private:
    // What a step changes that the next step reads.
    struct CellState {
        float intensity;
        float f[NUM_DIRECTIONS];
    };
    std::vector<CellState> saved;
};

#include "run_parameters.h"

#include <cmath>
#include <cstring>

bool RunParameters::operator==(const RunParameters& other) const {
    // Bit for bit: a parameter is the float that a file records.
    const auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    return same(tau, other.tau) && same(spacing, other.spacing) && sourceX == other.sourceX &&
           sourceY == other.sourceY && sourceLayer == other.sourceLayer && same(sourceValue, other.sourceValue);
}

// The step's omega is 1/tau rounded to float: it must be finite too.
bool validTau(float tau) {
    return std::isfinite(tau) && tau > 0.0f && std::isfinite(static_cast<float>(1.0 / static_cast<double>(tau)));
}

bool validSpacing(float spacing) { return std::isfinite(spacing) && spacing > 0.0f; }

bool validSourceCell(int x, int y, int layer) {
    return x >= 0 && x < GRID_SIZE && y >= 0 && y < GRID_SIZE && layer >= 0 && layer < NUM_LAYERS;
}

bool validSourceValue(float value) { return std::isfinite(value); }

const char* invalidParameter(const RunParameters& p) {
    if (!validTau(p.tau)) return "tau";
    if (!validSpacing(p.spacing)) return "spacing";
    if (!validSourceCell(p.sourceX, p.sourceY, p.sourceLayer)) return "source";
    if (!validSourceValue(p.sourceValue)) return "source value";
    return nullptr;
}

std::unique_ptr<Lattice> makeLattice(const RunParameters& p) {
    auto lattice = std::make_unique<Lattice>(p.tau, p.spacing);
    lattice->injectSource(p.sourceX, p.sourceY, p.sourceLayer, p.sourceValue, p.spacing);
    return lattice;
}

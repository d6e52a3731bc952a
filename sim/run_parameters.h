// The parameters of a run: the lattice's relaxation time and spacing, and the
// cell and value of its source. The defaults are the program's start-up
// values; a lattice built and loaded with them is the start-up lattice.
#pragma once

#include <memory>

#include "lattice.h"

struct RunParameters {
    float tau = STARTUP_TAU;
    float spacing = STARTUP_SPACING;
    int sourceX = SOURCE_X;  // column
    int sourceY = SOURCE_Y;  // row
    int sourceLayer = SOURCE_LAYER;
    float sourceValue = SOURCE_VALUE;

    bool operator==(const RunParameters& other) const;
    bool operator!=(const RunParameters& other) const { return !(*this == other); }
};

// The values a run takes. tau: finite and greater than 0, with omega = 1/tau
// a finite float (tau from about 2.94e-39). spacing: finite and greater than
// 0. The source: a cell of the lattice and a finite value. Nothing else is
// refused: a tau below 0.5 over-relaxes, and values grow faster.
bool validTau(float tau);
bool validSpacing(float spacing);
bool validSourceCell(int x, int y, int layer);
bool validSourceValue(float value);
// Which of the parameters is not valid: "tau", "spacing", "source" or
// "source value"; null when they all are.
const char* invalidParameter(const RunParameters& parameters);

// A lattice built with the parameters' tau and spacing and its source loaded,
// as the program builds its own at start-up with the default parameters.
std::unique_ptr<Lattice> makeLattice(const RunParameters& parameters);

// The whole lattice: its layers, the source injection and the time step.
#pragma once

#include <memory>

#include "layer.h"

#ifndef LBM_NUM_LAYERS
#define LBM_NUM_LAYERS 1
#endif

constexpr int NUM_LAYERS = LBM_NUM_LAYERS;
static_assert(NUM_LAYERS >= 1, "the lattice needs at least one layer");

// The probes of the report: the cells in columns 0 to PROBE_COUNT - 1 of row
// PROBE_ROW of layer 0, each with its intensity and its population of link 4
// (toward column + 1).
constexpr int PROBE_COUNT = 10;
constexpr int PROBE_ROW = 9;
struct ProbeValues {
    float intensity;
    float population;
};
static_assert(PROBE_COUNT <= GRID_SIZE && PROBE_ROW < GRID_SIZE, "the probes lie in the lattice");

class Lattice {
public:
    LatticeLayer* layers[NUM_LAYERS];
    float tau;

    Lattice(float tau, float spacing);
    ~Lattice();
    Lattice(const Lattice&) = delete;
    Lattice& operator=(const Lattice&) = delete;

    // Makes cell (x, y) of layer `layerIndex` the source and loads its links.
    // Coordinates outside the lattice change nothing.
    void injectSource(int x, int y, int layerIndex, float value, float spacing);

    // One BGK collision over every cell, one streaming pass, then the probe
    // report. Relies on the wiring that the constructor made: links are never
    // rewired afterwards.
    void step();
    // The two phases of a step, each over the whole lattice.
    void collide();
    void stream();

    // The values that the report prints for probe k, 0 <= k < PROBE_COUNT.
    ProbeValues probe(int k) const;

    // One line for each probe, then an empty line; flushes stdout. The first
    // report that cannot be written is said on stderr.
    void printProbe() const;

    // Draws the cells as points with OpenGL, the old way (one glBegin/glEnd
    // pair per point). Declared here, as an operation of the lattice, but
    // defined with the GL drawing in scene/lattice_draw.cpp: the core links
    // no GL, so that lbm_trace, the page and the cross builds need none.
    void draw() const;
};

// True once a probe report could not be written to standard output.
bool probeReportLost();

// Says that a probe report could not be written; `error` is the errno of the
// failure, 0 when unknown. printProbe calls it once, at the first lost report.
// By default it says "cannot write the probe report to standard output:
// REASON" on stderr; a program may say it in its own words, or not at all.
using ReportLostNotice = void (*)(int error);
void setReportLostNotice(ReportLostNotice notice);

// Makes standard output write its bytes unchanged, "\n" line ends included
// (on Windows, where it starts in text mode). Called by each program's main
// before the first report.
void useBinaryStandardOutput();

// The system's lattice and source, as the program builds them at start-up.
constexpr float STARTUP_TAU = 0.56f;
constexpr float STARTUP_SPACING = 0.5f;
constexpr int SOURCE_X = 49;
constexpr int SOURCE_Y = 49;
constexpr int SOURCE_LAYER = 0;
constexpr float SOURCE_VALUE = 0.42f;

// A lattice built and loaded with these, as the program is at start-up.
std::unique_ptr<Lattice> makeStartupLattice();

// The run of lbm_trace: the lattice from start-up or from a snapshot, its
// probe reports and, on request, its snapshots and its pictures.
#pragma once

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "camera.h"
#include "picture.h"

// Whether this build draws pictures (it has Mesa's off-screen library and
// libpng).
#ifdef LBM_TRACE_PICTURES
constexpr bool TRACE_DRAWS_PICTURES = true;
#else
constexpr bool TRACE_DRAWS_PICTURES = false;
#endif
#include "run_parameters.h"

// Steps of a run when none are asked for.
constexpr long DEFAULT_TRACE_STEPS = 150;

class Lattice;

struct TraceRequest {
    long steps = DEFAULT_TRACE_STEPS;
    // The lattice's tau and spacing and its source, the start-up values by
    // default; the snapshots record them.
    RunParameters parameters;
    // A lattice to continue, at step `firstStep`, built with `parameters`'
    // tau and spacing; when null, the run builds and loads one from
    // `parameters` at step 0.
    Lattice* lattice = nullptr;
    long firstStep = 0;
    // With a directory, a snapshot at the first step, after every step whose
    // number is a multiple of `every` and after the last one, then the
    // collection; without, none.
    std::optional<std::string> snapshotDirectory;
    // With a directory (where TRACE_DRAWS_PICTURES), the window's picture of
    // the lattice at the same steps, as a PNG file of pictureWidth x
    // pictureHeight pixels seen by `camera`; without, none.
    std::optional<std::string> pictureDirectory;
    int pictureWidth = WINDOW_WIDTH;
    int pictureHeight = WINDOW_HEIGHT;
    CameraState camera = DEFAULT_CAMERA;
    long every = 1;
    // When given, read between steps: once it is not 0 (a signal handler sets
    // it), the run stops early, as it does after a failure.
    const volatile std::sig_atomic_t* stop = nullptr;
};

struct TraceOutcome {
    // A report could not be written; the report has said why.
    bool reportLost = false;
    // Every failure of the snapshots (the directory, a snapshot, the
    // collection), in order, each naming the file and the reason; nobody has
    // said them yet.
    std::vector<std::string> snapshotFailures;
    // The same for the pictures.
    std::vector<std::string> pictureFailures;

    bool succeeded() const { return !reportLost && snapshotFailures.empty() && pictureFailures.empty(); }
};

// Builds the lattice as the program does at start-up (with the request's
// parameters), or takes the one given, and runs the steps, each printing its
// probe report. Stops at the first report that cannot be written, at the
// first snapshot or picture that cannot, and when `stop` is set: no new file
// is begun from then on, and the collection is written listing every
// snapshot completed.
TraceOutcome runTrace(const TraceRequest& request);

// The run of lbm_trace: the lattice from start-up, its probe reports and, on
// request, its snapshots.
#pragma once

#include "snapshot.h"

// Builds the lattice as the program does at start-up and runs `steps` steps,
// each printing its probe report. With `snapshots` (already opened), also
// writes a snapshot at start-up, after every `every`-th step and after the
// last one, then the series' collection. Stops at the first report that
// cannot be written (probeReportLost() tells, the report has said why) and at
// the first snapshot that cannot: false then, and snapshots->error() says why.
bool runTrace(long steps, SnapshotSeries* snapshots, long every);

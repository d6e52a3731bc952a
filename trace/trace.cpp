#include "trace.h"

#include <memory>

#include "lattice.h"
#include "snapshot_series.h"

TraceOutcome runTrace(const TraceRequest& request) {
    TraceOutcome outcome;
    const auto stopRequested = [&] { return request.stop != nullptr && *request.stop != 0; };

    std::optional<SnapshotSeries> snapshots;
    if (request.snapshotDirectory) {
        snapshots.emplace(*request.snapshotDirectory);
        if (!snapshots->open()) {
            outcome.snapshotFailures = snapshots->errors();
            return outcome;
        }
    }

    const auto lattice = makeLattice(request.parameters);
    bool failed = snapshots && !stopRequested() && !snapshots->write(*lattice, 0);
    // Once a report cannot be written, the rest would be lost too; so would
    // the snapshots after a failed one.
    for (long done = 1; done <= request.steps && !failed && !probeReportLost() && !stopRequested(); ++done) {
        lattice->step();
        if (snapshots && (done % request.every == 0 || done == request.steps) && !stopRequested())
            failed = !snapshots->write(*lattice, done);
    }
    if (snapshots) {
        snapshots->finish();
        outcome.snapshotFailures = snapshots->errors();
    }
    outcome.reportLost = probeReportLost();
    return outcome;
}

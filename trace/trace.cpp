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

    std::unique_ptr<Lattice> built;
    if (request.lattice == nullptr) built = makeLattice(request.parameters);
    Lattice& lattice = request.lattice != nullptr ? *request.lattice : *built;
    const auto write = [&](long step) { return snapshots->write(lattice, SnapshotDescription{step, request.parameters}); };

    const long first = request.firstStep;
    bool failed = snapshots && !stopRequested() && !write(first);
    // Once a report cannot be written, the rest would be lost too; so would
    // the snapshots after a failed one. (The caller keeps first + steps
    // within a long.)
    for (long done = 1; done <= request.steps && !failed && !probeReportLost() && !stopRequested(); ++done) {
        lattice.step();
        const long step = first + done;
        if (snapshots && (step % request.every == 0 || done == request.steps) && !stopRequested())
            failed = !write(step);
    }
    if (snapshots) {
        snapshots->finish();
        outcome.snapshotFailures = snapshots->errors();
    }
    outcome.reportLost = probeReportLost();
    return outcome;
}

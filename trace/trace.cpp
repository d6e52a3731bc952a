#include "trace.h"

#include <memory>

#include "lattice.h"
#include "snapshot_series.h"
#ifdef LBM_TRACE_PICTURES
#include "frames.h"
#endif

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
#ifdef LBM_TRACE_PICTURES
    std::optional<FrameSeries> frames;
    if (request.pictureDirectory) {
        frames.emplace(*request.pictureDirectory, request.pictureWidth, request.pictureHeight, request.camera);
        if (!frames->open()) {
            outcome.pictureFailures = frames->errors();
            return outcome;
        }
    }
#endif
    // The files of one step: false when one could not be written.
    const auto writeFiles = [&](const Lattice& lattice, long step) {
        if (snapshots && !snapshots->write(lattice, step)) return false;
#ifdef LBM_TRACE_PICTURES
        if (frames && !frames->write(lattice, step)) return false;
#endif
        return true;
    };

    const auto lattice = makeStartupLattice();
    bool failed = !stopRequested() && !writeFiles(*lattice, 0);
    // Once a report cannot be written, the rest would be lost too; so would
    // the files after a failed one.
    for (long done = 1; done <= request.steps && !failed && !probeReportLost() && !stopRequested(); ++done) {
        lattice->step();
        if ((done % request.every == 0 || done == request.steps) && !stopRequested())
            failed = !writeFiles(*lattice, done);
    }
    if (snapshots) {
        snapshots->finish();
        outcome.snapshotFailures = snapshots->errors();
    }
#ifdef LBM_TRACE_PICTURES
    if (frames) outcome.pictureFailures = frames->errors();
#endif
    outcome.reportLost = probeReportLost();
    return outcome;
}

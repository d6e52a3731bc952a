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
        if (snapshots && !snapshots->write(lattice, SnapshotDescription{step, request.parameters})) return false;
#ifdef LBM_TRACE_PICTURES
        if (frames && !frames->write(lattice, step)) return false;
#endif
        return true;
    };

    std::unique_ptr<Lattice> built;
    if (request.lattice == nullptr) built = makeLattice(request.parameters);
    Lattice& lattice = request.lattice != nullptr ? *request.lattice : *built;

    const long first = request.firstStep;
    bool failed = !stopRequested() && !writeFiles(lattice, first);
    // Once a report cannot be written, the rest would be lost too; so would
    // the files after a failed one. (The caller keeps first + steps within a
    // long.)
    for (long done = 1; done <= request.steps && !failed && !probeReportLost() && !stopRequested(); ++done) {
        lattice.step();
        const long step = first + done;
        if ((step % request.every == 0 || done == request.steps) && !stopRequested())
            failed = !writeFiles(lattice, step);
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

#include "trace.h"

#include <memory>

bool runTrace(long steps, SnapshotSeries* snapshots, long every) {
    const auto lattice = makeStartupLattice();
    if (snapshots != nullptr && !snapshots->write(*lattice, 0)) return false;

    // Once a report cannot be written, the rest would be lost too; so would
    // the snapshots after a failed one. The collection still lists the
    // snapshots that were written.
    for (long done = 1; done <= steps && !probeReportLost(); ++done) {
        lattice->step();
        if (snapshots != nullptr && (done % every == 0 || done == steps) && !snapshots->write(*lattice, done)) {
            snapshots->finish();
            return false;
        }
    }
    return snapshots == nullptr || snapshots->finish();
}

// The snapshots of one run and their collection, written into one directory.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lattice.h"
#include "output_directory.h"
#include "snapshot_format.h"

// Each snapshot and the collection are written as OutputDirectory writes a
// file: under its final name only when it is complete. The collection lists
// every snapshot written so far by this series, each with its step as its
// time: after the first snapshot, then at most once a second while snapshots
// follow (rewriting it after every one would cost more than the snapshots
// themselves in a long series), and by finish().
class SnapshotSeries {
public:
    // Temporary names drawn from a seed that differs from run to run.
    explicit SnapshotSeries(std::string directory);
    // Temporary names drawn from `nameSeed`, so that a test can plant files
    // at the names the series will try.
    SnapshotSeries(std::string directory, uint64_t nameSeed);

    // Creates the directory when it is missing, and opens it, as
    // OutputDirectory::open() does; errors() says why it could not.
    bool open() { return directory_.open(); }

    // Writes the lattice as the snapshot that `description` describes (its
    // step names it), and the collection when it is due. False on a failure of either, with no temporary file left
    // behind; errors() names the file and the reason.
    bool write(const Lattice& lattice, const SnapshotDescription& description);

    // Writes the collection of every snapshot written, unless the last one
    // written or tried already lists them all: at the end of a run, and after
    // a failure or an interruption, so that it lists the complete ones. False
    // when the collection could not be written, now or at its last try.
    bool finish();

    // Every failure of the series, in order, each naming the file and the
    // reason.
    const std::vector<std::string>& errors() const { return directory_.errors(); }

private:
    bool writeCollection();

    OutputDirectory directory_;
    std::vector<unsigned char> buffer_;
    std::string entries_;  // one line of the collection per snapshot written
    size_t written_ = 0;   // snapshots written
    size_t listed_ = 0;    // snapshots in the collection written or tried last
    bool listedOk_ = true; // whether that collection was written
    std::chrono::steady_clock::time_point collectionTime_;
};

// Field snapshots of the lattice: VTK XML ImageData files (.vti) with their
// ParaView collection (.pvd). The bytes depend on the lattice's floats alone,
// never on the machine: numbers are written little-endian, and every NaN as
// the one quiet NaN 0xFFC00000.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "lattice.h"

// The whole file of one snapshot of the lattice. Points are the cells, x the
// column, y the row, z the layer, 1 apart; per point the Float32 arrays
// intensity, density, speed and f (19 components, in direction-index order)
// and the UInt8 array source (1 for the source cell).
void encodeSnapshot(const Lattice& lattice, std::vector<unsigned char>& file);

// "lattice_SSSSSS.vti": the step number with at least six digits.
std::string snapshotFileName(long step);

// "TARGET.XXXXXX.tmp", each X a letter or a digit drawn from `random`: the
// temporary name under which a series tries to write the file TARGET (the
// final name first, so that a file left by a killed run tells what it was).
std::string temporaryFileName(const std::string& target, std::mt19937_64& random);

// Name of the collection that lists the snapshots of a series.
constexpr const char* COLLECTION_FILE_NAME = "lattice.pvd";

// The snapshots of one run, written into one directory. A file appears under
// its final name only when it is complete: it is written under a temporary
// name of its own (the final name, six random letters or digits and ".tmp"),
// created new so that nothing already at that name is written through, then
// closed and renamed over the final name. Runs that share the directory
// therefore never meet in a temporary file, and a final name always holds one
// run's complete file. Every file is made in the directory as it was opened
// (POSIX), wherever its name leads afterwards. The collection is written the same way, and lists
// every snapshot written so far by this series, each with its step as its
// time: after the first snapshot, then at most once a second while snapshots
// follow (rewriting it after every one would cost more than the snapshots
// themselves in a long series), and by finish(). Nothing is synced to the
// disk.
class SnapshotSeries {
public:
    // Temporary names drawn from a seed that differs from run to run.
    explicit SnapshotSeries(std::string directory);
    // Temporary names drawn from `nameSeed`, so that a test can plant files
    // at the names the series will try.
    SnapshotSeries(std::string directory, uint64_t nameSeed);
    ~SnapshotSeries();
    SnapshotSeries(const SnapshotSeries&) = delete;
    SnapshotSeries& operator=(const SnapshotSeries&) = delete;

    // Creates the directory when it is missing (not its parent), and opens
    // it. False when it cannot be created, is not a directory, or is a link
    // that another user may have planted (one of another user's in a shared,
    // sticky directory, that the directory's owner did not make); errors()
    // says why.
    bool open();

    // Writes the lattice as the snapshot of `step`, and the collection when it
    // is due. False on a failure of either, with no temporary file left
    // behind; errors() names the file and the reason.
    bool write(const Lattice& lattice, long step);

    // Writes the collection of every snapshot written, unless the last one
    // written or tried already lists them all: at the end of a run, and after
    // a failure or an interruption, so that it lists the complete ones. False
    // when the collection could not be written, now or at its last try.
    bool finish();

    // Every failure of the series, in order, each naming the file and the
    // reason.
    const std::vector<std::string>& errors() const { return errors_; }

private:
    std::string path(const std::string& name) const;
    // The directory opened (AT_FDCWD before open(); -1 on Windows), and the
    // name by which the file `name` of the series is reached from there.
    int directoryHandle() const;
    std::string reach(const std::string& name) const;
    // Whether `name` could not be replaced, failing with `error`, because it
    // is another user's in a sticky directory.
    bool heldByAnotherUser(const std::string& name, int error) const;
    bool writeFile(const std::string& name, const void* data, size_t size);
    bool writeCollection();

    std::string directory_;
    int opened_ = -1;  // the directory opened (POSIX)
    std::vector<unsigned char> buffer_;
    std::string entries_;  // one DataSet line per snapshot written
    size_t written_ = 0;   // snapshots written
    size_t listed_ = 0;    // snapshots in the collection written or tried last
    bool listedOk_ = true; // whether that collection was written
    std::chrono::steady_clock::time_point collectionTime_;
    std::mt19937_64 random_;  // the temporary names
    std::vector<std::string> errors_;
};

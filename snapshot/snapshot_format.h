// Field snapshots of the lattice: VTK XML ImageData files (.vti) with their
// ParaView collection (.pvd), as bytes in memory, written and read back.
// Their layout: snapshot_layout.h.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "lattice.h"
#include "run_parameters.h"

// How a snapshot's lattice came to be: the step it is at and the parameters
// of its run. The file's field data says them.
struct SnapshotDescription {
    long step = 0;
    RunParameters parameters;
};

// The whole file of one snapshot of the lattice. Points are the cells, x the
// column, y the row, z the layer, 1 apart; per point the Float32 arrays
// intensity, density, speed and f (19 components, in direction-index order)
// and the UInt8 array source (1 for the source cell). The field data holds
// the step (TimeValue, which ParaView takes as the file's time), tau,
// spacing, source_cell (column, row, layer), source_value, layers and
// program ("latticeview VERSION").
void encodeSnapshot(const Lattice& lattice, const SnapshotDescription& description, std::vector<unsigned char>& file);

// "lattice_SSSSSS.vti": the step number with at least six digits.
std::string snapshotFileName(long step);

// Name of the collection that lists the snapshots of a series.
constexpr const char* COLLECTION_FILE_NAME = "lattice.pvd";

// The collection's line for the snapshot of `step`, its time the step.
std::string collectionEntry(long step);

// The whole collection, listing `entries` (collectionEntry lines, in order).
std::string collectionText(const std::string& entries);

// ---------------------------------------------------------------- reading
// A snapshot is read only as this build writes one: the same text byte for
// byte but for the values of the field data, the arrays of this lattice's
// size, every NaN as the file's one NaN, the source flag set for the source
// cell alone. Anything else is refused, with the reason; nothing that the
// file declares is allocated or trusted.

// The largest snapshot of this lattice, in bytes: its arrays and its text
// with the longest values of the field data. A reader need not look at more.
size_t snapshotMaxBytes();

struct SnapshotReading {
    SnapshotDescription description;
    // The program that wrote it, as its field data says; empty for a snapshot
    // without field data (written before they had one: its step is taken from
    // its name, its parameters are the start-up values).
    std::string program;
    bool hasFieldData = false;
    size_t arraysOffset = 0;  // where the appended data starts in the file
};

// Checks `size` bytes at `data` as a snapshot of this lattice. `fileName`
// (only its last part, never opened) gives the step of a snapshot without
// field data: lattice_SSSSSS.vti. True when it is one, with `reading` filled;
// otherwise false with `reason` in words, for "not a latticeview snapshot:
// REASON".
bool readSnapshot(const unsigned char* data, size_t size, const std::string& fileName, SnapshotReading& reading,
                  std::string& reason);

// Checks only the first lines of a file (the beginning of one too large to
// read whole): false, with `reason`, when they are not a snapshot's of this
// lattice (another size or number of layers, byte order, file type).
bool readSnapshotHead(const unsigned char* data, size_t size, std::string& reason);

// The lattice of a snapshot that readSnapshot accepted (`data` as given to
// it), built with the tau and the spacing of `parameters`: the snapshot's
// own, or others that take their place from its step on. Every population,
// intensity, density, speed and source flag is the file's; the source is
// not loaded again.
std::unique_ptr<Lattice> restoreLattice(const unsigned char* data, const SnapshotReading& reading,
                                        const RunParameters& parameters);

// The step that the name lattice_SSSSSS.vti gives (its last part after a
// '/' or '\\'); false when the name is not one, or the step too large.
bool stepFromSnapshotName(const std::string& fileName, long& step);

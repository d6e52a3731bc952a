// Field snapshots of the lattice: VTK XML ImageData files (.vti) with their
// ParaView collection (.pvd), as bytes in memory. Their layout:
// snapshot_layout.h.
#pragma once

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

// Name of the collection that lists the snapshots of a series.
constexpr const char* COLLECTION_FILE_NAME = "lattice.pvd";

// The collection's line for the snapshot of `step`, its time the step.
std::string collectionEntry(long step);

// The whole collection, listing `entries` (collectionEntry lines, in order).
std::string collectionText(const std::string& entries);

// The layout of a snapshot file, which the code that writes one and the code
// that reads one share: its points, its arrays in file order, their blocks,
// and how numbers are stored. The bytes depend on the lattice's floats alone,
// never on the machine.
#pragma once

#include <cstdint>
#include <cstring>

#include "cell.h"
#include "lattice.h"

// One point per cell, x (column) fastest, then y (row), then z (layer): the
// order of the cells in the layers. Points are 1 apart, from the origin.
constexpr int SNAPSHOT_POINTS = NUM_LAYERS * GRID_SIZE * GRID_SIZE;

// The point arrays, in the order of the file's header and of their blocks.
enum SnapshotArrayIndex { SNAPSHOT_INTENSITY, SNAPSHOT_DENSITY, SNAPSHOT_SPEED, SNAPSHOT_F, SNAPSHOT_SOURCE, SNAPSHOT_ARRAYS_COUNT };

struct SnapshotArray {
    const char* name;
    const char* type;     // VTK's name of the value type
    uint32_t components;  // values per point
    uint32_t valueBytes;  // bytes per value
    // The bytes of all its values.
    constexpr uint32_t bytes() const { return static_cast<uint32_t>(SNAPSHOT_POINTS) * components * valueBytes; }
};

constexpr SnapshotArray SNAPSHOT_ARRAYS[SNAPSHOT_ARRAYS_COUNT] = {
    {"intensity", "Float32", 1, 4},  // the active scalar
    {"density", "Float32", 1, 4},
    {"speed", "Float32", 1, 4},
    {"f", "Float32", NUM_DIRECTIONS, 4},  // the populations, in direction-index order
    {"source", "UInt8", 1, 1},  // 1 for the source cell, 0 elsewhere
};

// The appended data (raw) is one block per array, in the order above: the
// block's size in bytes as a UInt32, then the values.
constexpr uint32_t SNAPSHOT_BLOCK_SIZE_BYTES = 4;

// Where the block of array `index` starts in the appended data (the offset
// that the header gives it); with SNAPSHOT_ARRAYS_COUNT, the whole size.
constexpr uint32_t snapshotBlockOffset(int index) {
    uint32_t offset = 0;
    for (int i = 0; i < index; ++i) offset += SNAPSHOT_BLOCK_SIZE_BYTES + SNAPSHOT_ARRAYS[i].bytes();
    return offset;
}
constexpr uint32_t SNAPSHOT_APPENDED_BYTES = snapshotBlockOffset(SNAPSHOT_ARRAYS_COUNT);

constexpr unsigned long long snapshotAppendedBytesWide() {
    unsigned long long total = 0;
    for (const SnapshotArray& array : SNAPSHOT_ARRAYS)
        total += SNAPSHOT_BLOCK_SIZE_BYTES + static_cast<unsigned long long>(SNAPSHOT_POINTS) * array.components * array.valueBytes;
    return total;
}
static_assert(snapshotAppendedBytesWide() < 0xFFFFFFFFull,
              "every block's size and offset must fit the UInt32 of the block header and of the offsets");

// Every NaN is stored as this one quiet NaN with the sign bit set, whatever
// CPU made it (x86 sets the sign bit, ARM clears it; payloads differ too).
// Infinities keep their bits.
constexpr uint32_t SNAPSHOT_NAN_BITS = 0xFFC00000u;

inline uint32_t snapshotFloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7FFFFFFFu) > 0x7F800000u ? SNAPSHOT_NAN_BITS : bits;
}

// Numbers are little-endian, whatever the host's byte order.
inline unsigned char* putUInt32(unsigned char* out, uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
    return out + 4;
}

// The layout of a snapshot file, which the code that writes one and the code
// that reads one share: its points, its arrays in file order, their blocks,
// and how numbers are stored. The bytes depend on the lattice's floats alone,
// never on the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cell.h"
#include "lattice.h"
#include "snapshot_format.h"

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

inline uint32_t getUInt32(const unsigned char* in) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

// The text of a file, in the order of the file: the head (the XML
// declaration, the VTKFile and ImageData elements), the field data, the
// arrays (from the Piece to the "_" that starts the appended data), and the
// trailer after the appended data. A snapshot written before the field data
// has none of it.
const std::string& snapshotHead();
const std::string& snapshotArraysText();
constexpr char SNAPSHOT_TRAILER[] = "\n  </AppendedData>\n</VTKFile>\n";
// "0 49 0 49 0 0": the extent of the points, x, y and z.
std::string snapshotExtent();

// The field data: one array per line, each line a prefix, the value's text,
// and a suffix. Every value is written in one way only, which the reader
// requires: the step and the integers in decimal without leading zeros,
// each float as the shortest decimal that C's strtof reads back as the same
// float, the program's text as VTK writes a string (its characters' codes,
// then 0).
enum SnapshotField {
    FIELD_TIME_VALUE,    // the step, which ParaView takes as the file's time
    FIELD_TAU,
    FIELD_SPACING,
    FIELD_SOURCE_CELL,   // column, row, layer
    FIELD_SOURCE_VALUE,
    FIELD_LAYERS,
    FIELD_PROGRAM,       // "latticeview VERSION"
    SNAPSHOT_FIELDS_COUNT
};
struct SnapshotFieldLine {
    const char* prefix;
    const char* suffix;
};
extern const SnapshotFieldLine SNAPSHOT_FIELD_LINES[SNAPSHOT_FIELDS_COUNT];
constexpr char FIELD_DATA_START[] = "    <FieldData>\n";
constexpr char FIELD_DATA_END[] = "    </FieldData>\n";

// The values' texts.
std::string snapshotFloatText(float value);
std::string snapshotStringText(const std::string& text);
// The whole field data of a snapshot of `description`, written by `program`.
std::string snapshotFieldData(const SnapshotDescription& description, const std::string& program);

// The program's text in the field data of the snapshots this build writes.
const std::string& snapshotProgram();
// The snapshot of `lattice` as the file that `reading` read was written:
// with its step, parameters and program, or without field data. A file that
// readSnapshot accepts is this of the lattice restored from it.
void encodeSnapshotAsRead(const Lattice& lattice, const SnapshotReading& reading, std::vector<unsigned char>& file);
// Characters a program's text may hold, and how many.
constexpr size_t SNAPSHOT_PROGRAM_MAX = 64;
inline bool snapshotProgramCharacter(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ' || c == '.' ||
           c == '-' || c == '+' || c == '~' || c == '_';
}

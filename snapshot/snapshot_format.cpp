#include "snapshot_format.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "snapshot_layout.h"

#ifndef LBM_VERSION
#define LBM_VERSION "unknown"
#endif

namespace {

// The encoder writes, per point, one float into each of the first three
// arrays, one per link into f, and one byte into source.
static_assert(SNAPSHOT_ARRAYS[SNAPSHOT_INTENSITY].components == 1 && SNAPSHOT_ARRAYS[SNAPSHOT_DENSITY].components == 1 &&
                  SNAPSHOT_ARRAYS[SNAPSHOT_SPEED].components == 1 &&
                  SNAPSHOT_ARRAYS[SNAPSHOT_F].components == static_cast<uint32_t>(NUM_DIRECTIONS) &&
                  SNAPSHOT_ARRAYS[SNAPSHOT_SOURCE].components == 1,
              "the components that the encoder writes per point");
static_assert(SNAPSHOT_ARRAYS[SNAPSHOT_F].valueBytes == 4 && SNAPSHOT_ARRAYS[SNAPSHOT_SOURCE].valueBytes == 1,
              "floats of 4 bytes, the source flag in one");

inline unsigned char* putFloat(unsigned char* out, float value) { return putUInt32(out, snapshotFloatBits(value)); }

std::string dataArray(const SnapshotArray& array, uint32_t offset) {
    std::string line = "        <DataArray type=\"";
    line += array.type;
    line += "\" Name=\"";
    line += array.name;
    line += '"';
    if (array.components != 1) line += " NumberOfComponents=\"" + std::to_string(array.components) + '"';
    line += " format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
    return line;
}

constexpr const char* FIELD_SUFFIX = "</DataArray>\n";

}  // namespace

std::string snapshotExtent() {
    const std::string last = std::to_string(GRID_SIZE - 1);
    return "0 " + last + " 0 " + last + " 0 " + std::to_string(NUM_LAYERS - 1);
}

const std::string& snapshotHead() {
    static const std::string head =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt32\">\n"
        "  <ImageData WholeExtent=\"" + snapshotExtent() + "\" Origin=\"0 0 0\" Spacing=\"1 1 1\">\n";
    return head;
}

const std::string& snapshotArraysText() {
    static const std::string text = [] {
        std::string arrays = "    <Piece Extent=\"" + snapshotExtent() + "\">\n"
                             "      <PointData Scalars=\"" + SNAPSHOT_ARRAYS[SNAPSHOT_INTENSITY].name + "\">\n";
        for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i) arrays += dataArray(SNAPSHOT_ARRAYS[i], snapshotBlockOffset(i));
        return arrays +
               "      </PointData>\n"
               "    </Piece>\n"
               "  </ImageData>\n"
               "  <AppendedData encoding=\"raw\">\n"
               "   _";
    }();
    return text;
}

const SnapshotFieldLine SNAPSHOT_FIELD_LINES[SNAPSHOT_FIELDS_COUNT] = {
    {"      <DataArray type=\"Float64\" Name=\"TimeValue\" NumberOfTuples=\"1\" format=\"ascii\">", FIELD_SUFFIX},
    {"      <DataArray type=\"Float32\" Name=\"tau\" NumberOfTuples=\"1\" format=\"ascii\">", FIELD_SUFFIX},
    {"      <DataArray type=\"Float32\" Name=\"spacing\" NumberOfTuples=\"1\" format=\"ascii\">", FIELD_SUFFIX},
    {"      <DataArray type=\"Int32\" Name=\"source_cell\" NumberOfComponents=\"3\" ComponentName0=\"column\" "
     "ComponentName1=\"row\" ComponentName2=\"layer\" NumberOfTuples=\"1\" format=\"ascii\">",
     FIELD_SUFFIX},
    {"      <DataArray type=\"Float32\" Name=\"source_value\" NumberOfTuples=\"1\" format=\"ascii\">", FIELD_SUFFIX},
    {"      <DataArray type=\"Int32\" Name=\"layers\" NumberOfTuples=\"1\" format=\"ascii\">", FIELD_SUFFIX},
    {"      <Array type=\"String\" Name=\"program\" NumberOfTuples=\"1\" format=\"ascii\">", "</Array>\n"},
};

// The shortest of printf's "%.Ng" (N from 1 to 9, and 9 digits always
// suffice) that strtof reads back as the same float; the exponent, where
// there is one, with at least two digits and no more, as C prescribes (some
// C libraries write three).
std::string snapshotFloatText(float value) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    std::string out = text;
    const size_t exponent = out.find('e');
    if (exponent != std::string::npos) {
        const size_t digits = exponent + 2;  // after the sign
        while (out.size() - digits > 2 && out[digits] == '0') out.erase(digits, 1);
    }
    return out;
}

std::string snapshotStringText(const std::string& text) {
    std::string codes;
    for (const char c : text) codes += std::to_string(static_cast<unsigned char>(c)) + ' ';
    return codes + '0';
}

std::string snapshotFieldData(const SnapshotDescription& description, const std::string& program) {
    const RunParameters& p = description.parameters;
    const std::string values[SNAPSHOT_FIELDS_COUNT] = {
        std::to_string(description.step),
        snapshotFloatText(p.tau),
        snapshotFloatText(p.spacing),
        std::to_string(p.sourceX) + ' ' + std::to_string(p.sourceY) + ' ' + std::to_string(p.sourceLayer),
        snapshotFloatText(p.sourceValue),
        std::to_string(NUM_LAYERS),
        snapshotStringText(program),
    };
    std::string text = FIELD_DATA_START;
    for (int i = 0; i < SNAPSHOT_FIELDS_COUNT; ++i)
        text += SNAPSHOT_FIELD_LINES[i].prefix + values[i] + SNAPSHOT_FIELD_LINES[i].suffix;
    return text + FIELD_DATA_END;
}

const std::string& snapshotProgram() {
    static const std::string program = "latticeview " LBM_VERSION;
    return program;
}

namespace {

constexpr char COLLECTION_HEADER[] =
    "<?xml version=\"1.0\"?>\n"
    "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
    "  <Collection>\n";
constexpr char COLLECTION_TRAILER[] =
    "  </Collection>\n"
    "</VTKFile>\n";

}  // namespace

namespace {

// The file with the field data `fields` (empty for none).
void encode(const Lattice& lattice, const std::string& fields, std::vector<unsigned char>& file) {
    const std::string& head = snapshotHead();
    const std::string& arrays = snapshotArraysText();
    const size_t textBytes = head.size() + fields.size() + arrays.size();
    file.resize(textBytes + SNAPSHOT_APPENDED_BYTES + sizeof SNAPSHOT_TRAILER - 1);
    std::memcpy(file.data(), head.data(), head.size());
    std::memcpy(file.data() + head.size(), fields.data(), fields.size());
    std::memcpy(file.data() + head.size() + fields.size(), arrays.data(), arrays.size());
    unsigned char* const appended = file.data() + textBytes;
    std::memcpy(appended + SNAPSHOT_APPENDED_BYTES, SNAPSHOT_TRAILER, sizeof SNAPSHOT_TRAILER - 1);

    // The blocks, each after its size; filled in one pass over the cells.
    unsigned char* blocks[SNAPSHOT_ARRAYS_COUNT];
    for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i)
        blocks[i] = putUInt32(appended + snapshotBlockOffset(i), SNAPSHOT_ARRAYS[i].bytes());
    unsigned char* intensity = blocks[SNAPSHOT_INTENSITY];
    unsigned char* density = blocks[SNAPSHOT_DENSITY];
    unsigned char* speed = blocks[SNAPSHOT_SPEED];
    unsigned char* f = blocks[SNAPSHOT_F];
    unsigned char* source = blocks[SNAPSHOT_SOURCE];

    // Points in file order, which is the order of the cells in the layers.
    for (const LatticeLayer* layer : lattice.layers) {
        for (const Cell* cell : layer->cells) {
            intensity = putFloat(intensity, cell->intensity);
            density = putFloat(density, cell->density);
            speed = putFloat(speed, cell->speed);
            // Through a local block, which the compiler knows aliases no cell.
            unsigned char links[NUM_DIRECTIONS * 4];
            for (int i = 0; i < NUM_DIRECTIONS; ++i) putFloat(links + 4 * i, cell->links[i].f);
            std::memcpy(f, links, sizeof links);
            f += sizeof links;
            *source++ = cell->isSource ? 1 : 0;
        }
    }
}

}  // namespace

void encodeSnapshot(const Lattice& lattice, const SnapshotDescription& description, std::vector<unsigned char>& file) {
    encode(lattice, snapshotFieldData(description, snapshotProgram()), file);
}

void encodeSnapshotAsRead(const Lattice& lattice, const SnapshotReading& reading, std::vector<unsigned char>& file) {
    encode(lattice, reading.hasFieldData ? snapshotFieldData(reading.description, reading.program) : "", file);
}

std::string snapshotFileName(long step) {
    char name[64];
    std::snprintf(name, sizeof name, "lattice_%06ld.vti", step);
    return name;
}

std::string collectionEntry(long step) {
    return "    <DataSet timestep=\"" + std::to_string(step) + "\" group=\"\" part=\"0\" file=\"" + snapshotFileName(step) +
           "\"/>\n";
}

std::string collectionText(const std::string& entries) { return COLLECTION_HEADER + entries + COLLECTION_TRAILER; }

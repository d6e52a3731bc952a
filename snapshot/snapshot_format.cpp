#include "snapshot_format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "snapshot_layout.h"

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

// Everything before the appended data; the same for every snapshot of a build.
std::string snapshotHeader() {
    const std::string last = std::to_string(GRID_SIZE - 1);
    const std::string extent = "0 " + last + " 0 " + last + " 0 " + std::to_string(NUM_LAYERS - 1);
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt32\">\n"
        "  <ImageData WholeExtent=\"" + extent + "\" Origin=\"0 0 0\" Spacing=\"1 1 1\">\n"
        "    <Piece Extent=\"" + extent + "\">\n"
        "      <PointData Scalars=\"" + SNAPSHOT_ARRAYS[SNAPSHOT_INTENSITY].name + "\">\n";
    for (int i = 0; i < SNAPSHOT_ARRAYS_COUNT; ++i) text += dataArray(SNAPSHOT_ARRAYS[i], snapshotBlockOffset(i));
    text +=
        "      </PointData>\n"
        "    </Piece>\n"
        "  </ImageData>\n"
        "  <AppendedData encoding=\"raw\">\n"
        "   _";
    return text;
}

constexpr char SNAPSHOT_TRAILER[] = "\n  </AppendedData>\n</VTKFile>\n";

constexpr char COLLECTION_HEADER[] =
    "<?xml version=\"1.0\"?>\n"
    "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
    "  <Collection>\n";
constexpr char COLLECTION_TRAILER[] =
    "  </Collection>\n"
    "</VTKFile>\n";

}  // namespace

void encodeSnapshot(const Lattice& lattice, std::vector<unsigned char>& file) {
    static const std::string header = snapshotHeader();
    file.resize(header.size() + SNAPSHOT_APPENDED_BYTES + sizeof SNAPSHOT_TRAILER - 1);
    unsigned char* const appended = file.data() + header.size();
    std::memcpy(file.data(), header.data(), header.size());
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

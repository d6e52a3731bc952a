// Runs the lattice from start-up and, after each of the given step counts,
// writes its fields as they are in memory: DIR/dump_SSSSSS.bin holds the
// number of layers, then the bits of intensity, density, speed, f (19 per
// cell, in direction-index order) and the source flags, cells with the
// column fastest, then the row, then the layer. Native byte order; the NaNs as
// the CPU made them. The reader test compares snapshots with these.
//
// usage: snapshot_dump DIR STEP...   (steps in increasing order)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lattice.h"

namespace {

void putBits(std::vector<uint32_t>& out, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    out.push_back(bits);
}

template <typename Visit>
void forEachCell(const Lattice& lattice, Visit visit) {
    for (int z = 0; z < NUM_LAYERS; ++z)
        for (int y = 0; y < GRID_SIZE; ++y)
            for (int x = 0; x < GRID_SIZE; ++x) visit(*lattice.layers[z]->cellAt(x, y));
}

bool dump(const Lattice& lattice, const std::string& path) {
    std::vector<uint32_t> words{static_cast<uint32_t>(NUM_LAYERS)};
    forEachCell(lattice, [&](const Cell& cell) { putBits(words, cell.intensity); });
    forEachCell(lattice, [&](const Cell& cell) { putBits(words, cell.density); });
    forEachCell(lattice, [&](const Cell& cell) { putBits(words, cell.speed); });
    forEachCell(lattice, [&](const Cell& cell) {
        for (int i = 0; i < NUM_DIRECTIONS; ++i) putBits(words, cell.links[i].f);
    });
    std::vector<unsigned char> source;
    forEachCell(lattice, [&](const Cell& cell) { source.push_back(cell.isSource ? 1 : 0); });

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(words.data(), sizeof words[0], words.size(), file) == words.size() &&
                         std::fwrite(source.data(), 1, source.size(), file) == source.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: snapshot_dump DIR STEP...\n");
        return 2;
    }
    const auto startup = makeStartupLattice();
    Lattice& lattice = *startup;
    long done = 0;
    for (int k = 2; k < argc; ++k) {
        const long step = std::atol(argv[k]);
        // A step without its probe report.
        for (; done < step; ++done) {
            lattice.collide();
            lattice.stream();
        }
        char name[32];
        std::snprintf(name, sizeof name, "/dump_%06ld.bin", step);
        if (!dump(lattice, argv[1] + std::string(name))) {
            std::fprintf(stderr, "snapshot_dump: cannot write %s%s\n", argv[1], name);
            return 1;
        }
    }
    return 0;
}

#include "point_list.h"

bool hasOpenLink(const Cell& cell) {
    for (const Link& link : cell.links)
        if (link.neighbour == nullptr) return true;
    return false;
}

int litCellCount(const Lattice& lattice) {
    int count = 0;
    for (int k = 0; k < NUM_LAYERS; ++k)
        for (int y = 0; y < GRID_SIZE; ++y)
            for (int x = 0; x < GRID_SIZE; ++x)
                if (lattice.layers[k]->cellAt(x, y)->intensity > 0.0f) count++;
    return count;
}

int fillScenePoints(const Lattice& lattice, ScenePoint* points) {
    int count = 0;
    for (int k = 0; k < NUM_LAYERS; ++k) {
        const LatticeLayer* layer = lattice.layers[k];
        const auto layerX = static_cast<float>(k);
        float v = GRID_ORIGIN;
        for (int y = 0; y < GRID_SIZE; ++y, v += 1.0f) {
            float u = GRID_ORIGIN;
            for (int x = 0; x < GRID_SIZE; ++x, u += 1.0f) {
                const Cell& cell = *layer->cellAt(x, y);
                if (cell.intensity > 0.0f)
                    points[count++] = {layerX, u, v, 0.0f, cell.intensity, 0.0f, INTENSITY_POINT_SIZE};
                if (hasOpenLink(cell))
                    points[count++] = {layerX, u, v, OPEN_LINK_RED, OPEN_LINK_GREEN, OPEN_LINK_BLUE,
                                       OPEN_LINK_POINT_SIZE};
            }
        }
    }
    return count;
}

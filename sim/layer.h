// One plane of GRID_SIZE x GRID_SIZE cells, stored row-major.
#pragma once

#include "cell.h"

constexpr int GRID_SIZE = 50;

class LatticeLayer {
public:
    Cell* cells[GRID_SIZE * GRID_SIZE];

    // Creates every cell, then wires each to its in-plane neighbours.
    explicit LatticeLayer(float spacing);
    ~LatticeLayer();
    LatticeLayer(const LatticeLayer&) = delete;
    LatticeLayer& operator=(const LatticeLayer&) = delete;

    // Cell at column x, row y; null outside the grid.
    Cell* cellAt(int x, int y) const;

    // Wire the links with dz = -1 (below) or dz = +1 (above) to cells of `other`.
    void connectBelow(const LatticeLayer* other, float spacing);
    void connectAbove(const LatticeLayer* other, float spacing);

private:
    void connectLayer(const LatticeLayer* other, int dz, float spacing);
};

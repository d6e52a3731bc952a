#include "layer.h"

LatticeLayer::LatticeLayer(float spacing) {
    // Every cell exists before any is wired.
    for (int index = 0; index < GRID_SIZE * GRID_SIZE; ++index) cells[index] = new Cell(0.0f, spacing);

    // Each cell wires its own in-plane links; offset = (column step, -row step, 0).
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int column = 0; column < GRID_SIZE; ++column) {
            Cell* cell = cellAt(column, row);
            const bool left = column >= 1;
            const bool right = column + 1 < GRID_SIZE;
            const bool up = row >= 1;
            const bool down = row + 1 < GRID_SIZE;
            if (left) cell->connect(-1, 0, 0, cellAt(column - 1, row), spacing);
            if (up) cell->connect(0, 1, 0, cellAt(column, row - 1), spacing);
            if (right) cell->connect(1, 0, 0, cellAt(column + 1, row), spacing);
            if (down) cell->connect(0, -1, 0, cellAt(column, row + 1), spacing);
            if (up && left) cell->connect(-1, 1, 0, cellAt(column - 1, row - 1), spacing);
            if (up && right) cell->connect(1, 1, 0, cellAt(column + 1, row - 1), spacing);
            if (down && right) cell->connect(1, -1, 0, cellAt(column + 1, row + 1), spacing);
            if (down && left) cell->connect(-1, -1, 0, cellAt(column - 1, row + 1), spacing);
        }
    }
}

LatticeLayer::~LatticeLayer() {
    for (Cell* cell : cells) delete cell;
}

Cell* LatticeLayer::cellAt(int x, int y) const {
    if (x < 0 || x >= GRID_SIZE || y < 0 || y >= GRID_SIZE) return nullptr;
    return cells[y * GRID_SIZE + x];
}

void LatticeLayer::connectBelow(const LatticeLayer* other, float spacing) { connectLayer(other, -1, spacing); }

void LatticeLayer::connectAbove(const LatticeLayer* other, float spacing) { connectLayer(other, 1, spacing); }

void LatticeLayer::connectLayer(const LatticeLayer* other, int dz, float spacing) {
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int column = 0; column < GRID_SIZE; ++column) {
            Cell* cell = cellAt(column, row);
            cell->connect(0, 0, dz, other->cellAt(column, row), spacing);
            if (column >= 1) cell->connect(-1, 0, dz, other->cellAt(column - 1, row), spacing);
            if (row >= 1) cell->connect(0, 1, dz, other->cellAt(column, row - 1), spacing);
            if (column + 1 < GRID_SIZE) cell->connect(1, 0, dz, other->cellAt(column + 1, row), spacing);
            if (row + 1 < GRID_SIZE) cell->connect(0, -1, dz, other->cellAt(column, row + 1), spacing);
        }
    }
}

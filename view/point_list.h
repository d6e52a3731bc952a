// The points of one picture of the lattice, in the order the picture is drawn,
// as plain data: no GL here, so that every host (the window, the off-screen
// frame benchmark, the browser page) builds its picture from the same list.
#pragma once

#include "lattice.h"

// One point as the host hands it to the GL: seven floats, no padding, so that
// the array is also a plain float array with a stride of 7.
struct ScenePoint {
    // x: the index k of the point's layer, as a float; y, z: the point's place
    // (u, v) in its layer, u the column's position and v the row's (-25 for
    // column or row 0, one unit per cell). The point lies at (0, u, v) in the
    // coordinates of layer k, which layerModelView (view_matrices.h) places
    // in the world: every shader applies layer k's matrix to (x - k, y, z).
    float x, y, z;
    // Colour before lighting.
    float red, green, blue;
    // Side of the point's square, in pixels.
    float size;
};
static_assert(sizeof(ScenePoint) == 7 * sizeof(float), "ScenePoint must be seven packed floats");

// Position of row 0 and of column 0 within a layer.
constexpr float GRID_ORIGIN = -25.0f;
constexpr float INTENSITY_POINT_SIZE = 3.0f;
constexpr float OPEN_LINK_POINT_SIZE = 1.0f;
// The light-blue of a cell with an open link.
constexpr float OPEN_LINK_RED = 0.1f;
constexpr float OPEN_LINK_GREEN = 0.6f;
constexpr float OPEN_LINK_BLUE = 1.0f;

// Room for every point a picture can hold: two per cell.
constexpr int SCENE_POINTS_MAX = 2 * NUM_LAYERS * GRID_SIZE * GRID_SIZE;

// True where at least one of the cell's links has no neighbour.
bool hasOpenLink(const Cell& cell);

// The cells drawn as a green point (intensity greater than 0), of all layers.
int litCellCount(const Lattice& lattice);

// Writes the points of the lattice's picture into `points`, which has room for
// SCENE_POINTS_MAX, and returns how many it wrote. Layers in index order, in
// each layer the rows from 0 up, in each row the columns from 0 up; for each
// cell first its green point, size 3, colour (0, intensity, 0), where the
// intensity is greater than 0 (never for NaN), then its light-blue point, size
// 1, where at least one of its links has no neighbour. Allocates nothing.
int fillScenePoints(const Lattice& lattice, ScenePoint* points);

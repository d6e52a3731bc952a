// Lattice::draw lives with the viewer: the simulation library has no GL.
#include <GL/gl.h>

#include "lattice.h"

namespace {

constexpr GLfloat INTENSITY_POINT_SIZE = 3.0f;
constexpr GLfloat OPEN_LINK_POINT_SIZE = 1.0f;
constexpr float GRID_ORIGIN = -25.0f;  // position of row 0 and column 0 within a layer

int countOpenLinks(const Cell& cell) {
    int count = 0;
    for (const Link& link : cell.links)
        if (link.neighbour == nullptr) ++count;
    return count;
}

// Calls draw(cell, u, v) for every cell of every layer, layers in index order,
// rows then columns in storage order, with the cell's position u (column) and
// v (row) in its layer, and the layer's translation on the modelview matrix:
// layer k lies k + 1 units along x. Leaves the matrix as it found it.
template <typename DrawCell>
void forEachCell(LatticeLayer* const (&layers)[NUM_LAYERS], DrawCell draw) {
    glPushMatrix();
    for (const LatticeLayer* layer : layers) {
        glTranslatef(1.0f, 0.0f, 0.0f);  // accumulates from layer to layer
        float v = GRID_ORIGIN;
        for (int y = 0; y < GRID_SIZE; ++y, v += 1.0f) {
            float u = GRID_ORIGIN;
            for (int x = 0; x < GRID_SIZE; ++x, u += 1.0f) draw(*layer->cellAt(x, y), u, v);
        }
    }
    glPopMatrix();
}

}  // namespace

// Every cell with a positive intensity is a green point whose green component is
// that intensity; every cell with an open link also gets a small light-blue point,
// which the depth test hides where a green point already covers it.
//
// The points are drawn in two passes over every layer, each in row and column
// order: first all green points (size 3), then all light-blue points (size 1).
// Each point is still its own glBegin/glEnd pair, but the point size changes
// twice per frame instead of at nearly every point; a size change ends the
// renderer's batch of points, which made a frame thousands of separate draws.
//
// The picture equals that of drawing cell after cell, green point then
// light-blue point, but for one case: a light-blue point that shares a pixel
// at exactly equal depth with the green point of a later cell (possible when
// the lattice is seen exactly face-on and zoomed far out) loses that pixel: the
// green point is drawn first and GL_LESS rejects the light-blue one.
// A cell's own light-blue point still comes after its green point and is still
// rejected by GL_LESS.
void Lattice::draw() const {
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 0.0f);

    glPointSize(INTENSITY_POINT_SIZE);
    forEachCell(layers, [](const Cell& cell, float u, float v) {
        if (cell.intensity > 0.0f) {
            glBegin(GL_POINTS);
            glColor3f(0.0f, cell.intensity, 0.0f);
            glVertex3f(0.0f, u, v);
            glEnd();
        }
    });

    glPointSize(OPEN_LINK_POINT_SIZE);
    forEachCell(layers, [](const Cell& cell, float u, float v) {
        if (countOpenLinks(cell) > 0) {
            glBegin(GL_POINTS);
            glColor3f(0.1f, 0.6f, 1.0f);
            glVertex3f(0.0f, u, v);
            glEnd();
        }
    });

    glPopMatrix();
}

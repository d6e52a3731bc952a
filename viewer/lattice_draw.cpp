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

}  // namespace

// Every cell with a positive intensity is a green point whose green component is
// that intensity; every cell with an open link also gets a small light-blue point,
// which the depth test hides where a green point already covers it.
void Lattice::draw() const {
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 0.0f);
    for (const LatticeLayer* layer : layers) {
        glTranslatef(1.0f, 0.0f, 0.0f);  // accumulates: layer k lies k + 1 units along x
        float v = GRID_ORIGIN;
        for (int y = 0; y < GRID_SIZE; ++y, v += 1.0f) {
            float u = GRID_ORIGIN;
            for (int x = 0; x < GRID_SIZE; ++x, u += 1.0f) {
                const Cell* cell = layer->cellAt(x, y);
                glPointSize(INTENSITY_POINT_SIZE);
                if (cell->intensity > 0.0f) {
                    glBegin(GL_POINTS);
                    glColor3f(0.0f, cell->intensity, 0.0f);
                    glVertex3f(0.0f, u, v);
                    glEnd();
                }
                if (countOpenLinks(*cell) > 0) {
                    glPointSize(OPEN_LINK_POINT_SIZE);
                    glBegin(GL_POINTS);
                    glColor3f(0.1f, 0.6f, 1.0f);
                    glVertex3f(0.0f, u, v);
                    glEnd();
                }
            }
        }
    }
    glPopMatrix();
}

// Lattice::draw lives with the viewer: the simulation library has no GL.
#include <GL/gl.h>

#include "lattice.h"
#include "point_list.h"

// The lattice's points as single GL calls, for contexts without shaders: cell
// after cell (layers in index order, rows, then columns), the point size set
// for every cell, the green point where the intensity is positive, then, with
// size 1, the light-blue point where a link is open. Each point is its own
// glBegin/glEnd pair. Layer k is drawn k + 1 units along x, each layer one
// translation further than the last. A cell's light-blue point lies at the
// same place and depth as its green point, so GL_LESS hides it there.
//
// A size change ends a software renderer's batch of points, so a frame costs
// thousands of separate draws here; contexts with shaders draw the same points
// in the same order with one call instead (ScenePainter).
void Lattice::draw() const {
    glPushMatrix();
    glRotatef(180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 0.0f);
    for (const LatticeLayer* layer : layers) {
        glTranslatef(1.0f, 0.0f, 0.0f);  // accumulates from layer to layer
        float v = GRID_ORIGIN;
        for (int y = 0; y < GRID_SIZE; ++y, v += 1.0f) {
            float u = GRID_ORIGIN;
            for (int x = 0; x < GRID_SIZE; ++x, u += 1.0f) {
                const Cell& cell = *layer->cellAt(x, y);
                glPointSize(INTENSITY_POINT_SIZE);
                if (cell.intensity > 0.0f) {
                    glBegin(GL_POINTS);
                    glColor3f(0.0f, cell.intensity, 0.0f);
                    glVertex3f(0.0f, u, v);
                    glEnd();
                }
                if (hasOpenLink(cell)) {
                    glPointSize(OPEN_LINK_POINT_SIZE);
                    glBegin(GL_POINTS);
                    glColor3f(OPEN_LINK_RED, OPEN_LINK_GREEN, OPEN_LINK_BLUE);
                    glVertex3f(0.0f, u, v);
                    glEnd();
                }
            }
        }
    }
    glPopMatrix();
}

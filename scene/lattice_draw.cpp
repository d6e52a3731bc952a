// Lattice::draw lives with the GL drawing: the simulation library has no GL.
#include <GL/gl.h>

#include "lattice.h"
#include "point_list.h"
#include "view_matrices.h"

namespace {

// The frame's points; the lattice is drawn on the one GUI thread only.
ScenePoint points[SCENE_POINTS_MAX];

}  // namespace

// The lattice's points as single GL calls, for contexts without shaders: the
// points of the point list (fillScenePoints), in its order, each its own
// glBegin/glEnd pair with its size and colour set before it, at (0, u, v)
// under its layer's model-view (layerModelView on top of the view). A cell's
// light-blue point lies at the same place and depth as its green point, so
// GL_LESS hides it there.
//
// A size change ends a software renderer's batch of points, so a frame costs
// thousands of separate draws here; contexts with shaders draw the same points
// in the same order with one call instead (ScenePainter).
void Lattice::draw() const {
    const int count = fillScenePoints(*this, points);
    Matrix4 view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    glPushMatrix();
    int layer = -1;
    for (int i = 0; i < count; ++i) {
        const ScenePoint& point = points[i];
        const int pointLayer = static_cast<int>(point.x);
        if (pointLayer != layer) {
            layer = pointLayer;
            glLoadMatrixf(layerModelView(view, layer).m);
        }
        glPointSize(point.size);
        glBegin(GL_POINTS);
        glColor3f(point.red, point.green, point.blue);
        glVertex3f(point.x - static_cast<float>(layer), point.y, point.z);
        glEnd();
    }
    glPopMatrix();
}

// The window's picture as plain OpenGL and GLU calls, without the toolkit: the
// window draws with these, and so does the off-screen frame benchmark, so that
// both run the very same calls. Each needs a current GL context.
#pragma once

#include <memory>

#include "camera.h"

class Lattice;
struct ScenePoint;

// Fixed-function state of a new context: black clear colour, depth test with
// GL_LESS, face culling, light 0 and lighting, colour material, normalisation.
void setUpSceneState();

// Viewport and perspective projection of a W x H drawable, with a horizontal
// field of view of HORIZONTAL_FOV degrees. W and H must both be positive.
void setUpSceneProjection(int W, int H);

// Light 0: white diffuse, no specular.
void setUpSceneLight();

// How a context draws the lattice's points. Both draw every cell's green point
// then its light-blue point, cell after cell in the lattice's order, so the
// depth test sees the same sequence of points either way.
enum class PointDrawing {
    // OpenGL 2.0 or later: the points of point_list.h in one
    // glDrawArrays(GL_POINTS) with a size per point, lit by the shaders of
    // point_shader.h as the fixed-function state would light them.
    ONE_CALL,
    // Older contexts (indirect GLX offers OpenGL 1.4): Lattice::draw, a
    // glBegin/glEnd pair per point and the point size set for every point.
    LITERAL_CALLS,
    // The one-call drawing split into one glDrawArrays per point, in the same
    // order: only for comparing pictures.
    POINT_PER_CALL,
};

// "one draw call", "one call per point" or "single calls".
const char* pointDrawingName(PointDrawing drawing);

// Draws pictures of the lattice in one GL context. Holds the frame's point
// array (allocated once, with room for every point) and, on the one-call
// drawing, the shader program and the vertex buffer of the context.
class ScenePainter {
public:
    ScenePainter();
    ~ScenePainter();
    ScenePainter(const ScenePainter&) = delete;
    ScenePainter& operator=(const ScenePainter&) = delete;

    // Chooses the drawing for the current context, which is new: ONE_CALL
    // where it offers OpenGL 2.0 or later and the shaders compile and link,
    // LITERAL_CALLS otherwise. Call once per context, after setUpSceneState.
    // The objects of an earlier context are not deleted (they went with it).
    void setUpContext();

    PointDrawing drawing() const { return drawing_; }
    // For comparing pictures: draw with `drawing` from now on. ONE_CALL and
    // POINT_PER_CALL need a context on which setUpContext chose ONE_CALL.
    void useDrawing(PointDrawing drawing) { drawing_ = drawing; }

    // One picture: clears colour and depth, places the camera, fixes light 0's
    // direction in the world, and draws the lattice's points.
    void draw(const CameraState& camera, const Lattice& lattice);

private:
    bool setUpShaders();
    void drawPointArray(int count);

    std::unique_ptr<ScenePoint[]> points_;
    PointDrawing drawing_ = PointDrawing::LITERAL_CALLS;
    unsigned program_ = 0;
    unsigned buffer_ = 0;
    int colorLocation_ = -1;
    int sizeLocation_ = -1;
    int layerClipLocation_ = -1;
};

// The projection and view matrices of the window's picture as plain
// arithmetic, for hosts that have no GLU (the page draws with WebGL): the same
// numbers that gluPerspective, gluLookAt and the lattice's own rotation about
// z leave on the GL's matrix stacks, in the same precision (GLU's look-at
// works in float, its perspective in double; the GL keeps float matrices).
#pragma once

#include "camera.h"

// A 4 x 4 matrix in the GL's column-major order: m[column * 4 + row].
struct Matrix4 {
    float m[16];
};

Matrix4 identityMatrix();
// a x b, in float, each element summed in the order k = 0..3, as Mesa does.
Matrix4 multiply(const Matrix4& a, const Matrix4& b);

// gluPerspective(fovy, aspect, zNear, zFar).
Matrix4 perspectiveMatrix(double fovy, double aspect, double zNear, double zFar);
// gluLookAt(eye, center, up) applied to the identity.
Matrix4 lookAtMatrix(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                     double upX, double upY, double upZ);
// glRotatef(angle, x, y, z) and glTranslatef(x, y, z) applied to `m`.
Matrix4 rotated(const Matrix4& m, float angle, float x, float y, float z);
Matrix4 translated(const Matrix4& m, float x, float y, float z);

// The window's projection for a W x H drawable (W and H positive).
Matrix4 sceneProjection(int W, int H);
// The window's view: the camera's look-at, before the lattice's own
// transformation.
Matrix4 sceneView(const CameraState& camera);
// The lattice's own transformation on top of the view, for the points of
// layer `layer` (0 .. NUM_LAYERS - 1), each drawn at (0, u, v) in its layer:
// half a turn about z (x, y, z -> -x, -y, z), a translation by nothing, then
// one translation by (1, 0, 0) per layer up to this one, so that layer k lies
// k + 1 units along x. Rounded as the GL rounds the same glRotatef and
// glTranslatef calls; every drawing of the lattice and its tests take it from
// here.
Matrix4 layerModelView(const Matrix4& view, int layer);

// What a frame's shader needs besides the points, for a W x H picture of a
// lattice of one layer.
struct FrameMatrices {
    Matrix4 modelViewProjection;  // projection x view x layer 0's transformation
    float normal[9];              // the normal matrix of that model-view (column-major 3 x 3)
    float lightDirection[3];      // light 0's direction (1, 1, 1, 0) as the view transforms it
};
FrameMatrices frameMatrices(const CameraState& camera, int W, int H);

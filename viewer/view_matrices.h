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
// The lattice's transformation on top of the view, for the points of layer
// `layer` (0-based): half a turn about z, then layer + 1 units along x.
Matrix4 layerModelView(const Matrix4& view, int layer);

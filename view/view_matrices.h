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
// The lattice's transformation on top of the view, for the positions of the
// point list (point_list.h), which hold each layer's place along x: half a
// turn about z (and the lattice's translation by nothing).
Matrix4 latticeModelView(const Matrix4& view);

// What a frame's shader needs besides the points, for a W x H picture.
struct FrameMatrices {
    Matrix4 modelViewProjection;  // projection x view x the lattice's transformation
    float normal[9];              // the normal matrix of view x lattice (column-major 3 x 3)
    float lightDirection[3];      // light 0's direction (1, 1, 1, 0) as the view transforms it
};
FrameMatrices frameMatrices(const CameraState& camera, int W, int H);

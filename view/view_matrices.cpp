#include "view_matrices.h"

#include <cmath>

namespace {

constexpr double PI = 3.14159265358979323846;  // GLU's and Mesa's value of pi

float toFloat(double value) { return static_cast<float>(value); }

}  // namespace

Matrix4 identityMatrix() {
    Matrix4 r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
}

Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = a.m[row] * b.m[column * 4];
            for (int k = 1; k < 4; ++k) sum = sum + a.m[k * 4 + row] * b.m[column * 4 + k];
            r.m[column * 4 + row] = sum;
        }
    }
    return r;
}

Matrix4 perspectiveMatrix(double fovy, double aspect, double zNear, double zFar) {
    // As GLU: the matrix in double, handed to the GL, which keeps floats.
    const double radians = fovy / 2 * PI / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    const double cotangent = std::cos(radians) / sine;
    Matrix4 r{};
    r.m[0] = toFloat(cotangent / aspect);
    r.m[5] = toFloat(cotangent);
    r.m[10] = toFloat(-(zFar + zNear) / deltaZ);
    r.m[11] = -1.0f;
    r.m[14] = toFloat(-2 * zNear * zFar / deltaZ);
    return r;
}

namespace {

void normalize(float v[3]) {
    const float length = toFloat(std::sqrt(static_cast<double>(v[0] * v[0] + v[1] * v[1] + v[2] * v[2])));
    if (length == 0.0f) return;
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

}  // namespace

Matrix4 lookAtMatrix(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
                     double upX, double upY, double upZ) {
    // As GLU: the axes in float, then a translation by the eye.
    float forward[3] = {toFloat(centerX - eyeX), toFloat(centerY - eyeY), toFloat(centerZ - eyeZ)};
    float up[3] = {toFloat(upX), toFloat(upY), toFloat(upZ)};
    normalize(forward);
    float side[3];
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);

    Matrix4 r = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        r.m[i * 4 + 0] = side[i];
        r.m[i * 4 + 1] = up[i];
        r.m[i * 4 + 2] = -forward[i];
    }
    return translated(r, toFloat(-eyeX), toFloat(-eyeY), toFloat(-eyeZ));
}

Matrix4 translated(const Matrix4& m, float x, float y, float z) {
    Matrix4 r = m;
    for (int row = 0; row < 4; ++row)
        r.m[12 + row] = m.m[row] * x + m.m[4 + row] * y + m.m[8 + row] * z + m.m[12 + row];
    return r;
}

Matrix4 rotated(const Matrix4& m, float angle, float x, float y, float z) {
    // The rotation matrix as Mesa builds it: the angle in radians rounded to
    // float, its sine and cosine in float (a half turn gives a sine of
    // -8.74e-8, not 0), the axis normalised.
    const float radians = toFloat(static_cast<double>(angle) * PI / 180.0);
    const float s = std::sin(radians);
    const float c = std::cos(radians);
    float axis[3] = {x, y, z};
    normalize(axis);
    const float one_c = 1.0f - c;
    const float xx = axis[0] * axis[0], yy = axis[1] * axis[1], zz = axis[2] * axis[2];
    const float xy = axis[0] * axis[1], yz = axis[1] * axis[2], zx = axis[2] * axis[0];
    const float xs = axis[0] * s, ys = axis[1] * s, zs = axis[2] * s;
    Matrix4 rotation = identityMatrix();
    rotation.m[0] = one_c * xx + c;
    rotation.m[4] = one_c * xy - zs;
    rotation.m[8] = one_c * zx + ys;
    rotation.m[1] = one_c * xy + zs;
    rotation.m[5] = one_c * yy + c;
    rotation.m[9] = one_c * yz - xs;
    rotation.m[2] = one_c * zx - ys;
    rotation.m[6] = one_c * yz + xs;
    rotation.m[10] = one_c * zz + c;
    return multiply(m, rotation);
}

Matrix4 sceneProjection(int W, int H) {
    return perspectiveMatrix(verticalFieldOfView(W, H), aspectRatio(W, H), NEAR_PLANE, FAR_PLANE);
}

Matrix4 sceneView(const CameraState& camera) {
    const EyePosition eye = eyePosition(camera);
    return lookAtMatrix(eye.x, eye.y, eye.z, static_cast<double>(camera.targetX),
                        static_cast<double>(camera.targetY), EYE_HEIGHT, 0.0, 0.0, 1.0);
}

Matrix4 layerModelView(const Matrix4& view, int layer) {
    Matrix4 r = translated(rotated(view, 180.0f, 0.0f, 0.0f, 1.0f), 0.0f, 0.0f, 0.0f);
    for (int k = 0; k <= layer; ++k) r = translated(r, 1.0f, 0.0f, 0.0f);
    return r;
}

FrameMatrices frameMatrices(const CameraState& camera, int W, int H) {
    const Matrix4 view = sceneView(camera);
    const Matrix4 modelView = layerModelView(view, 0);
    FrameMatrices frame{};
    frame.modelViewProjection = multiply(sceneProjection(W, H), modelView);

    // The inverse transpose of the upper 3 x 3, from its cofactors in double.
    auto at = [&](int row, int column) { return static_cast<double>(modelView.m[column * 4 + row]); };
    double cofactor[3][3];
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int r1 = (row + 1) % 3, r2 = (row + 2) % 3, c1 = (column + 1) % 3, c2 = (column + 2) % 3;
            cofactor[row][column] = at(r1, c1) * at(r2, c2) - at(r1, c2) * at(r2, c1);
        }
    }
    const double determinant = at(0, 0) * cofactor[0][0] + at(0, 1) * cofactor[0][1] + at(0, 2) * cofactor[0][2];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            frame.normal[column * 3 + row] = toFloat(cofactor[row][column] / determinant);

    // The GL transforms a light's position by the modelview of the moment,
    // here the view: w = 0 leaves out the translation.
    for (int row = 0; row < 3; ++row)
        frame.lightDirection[row] = view.m[row] * 1.0f + view.m[4 + row] * 1.0f + view.m[8 + row] * 1.0f;
    return frame;
}

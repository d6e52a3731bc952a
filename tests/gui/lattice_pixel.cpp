// Prints the window pixel "x y" (x from the left, y down from the top) that
// holds the point at (u, v) of layer 0 in a W x H window under the start-up
// camera, through the drawing's own matrices (view_matrices.h): the window's
// test finds the points it looks for where the program puts them.
//
// usage: lattice_pixel W H U V   (U, V: the point's place in its layer, -25 .. 24)
#include <cstdio>
#include <cstdlib>

#include "camera.h"
#include "view_matrices.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s W H U V\n", argv[0]);
        return 2;
    }
    const int W = std::atoi(argv[1]);
    const int H = std::atoi(argv[2]);
    const auto u = static_cast<float>(std::atof(argv[3]));
    const auto v = static_cast<float>(std::atof(argv[4]));
    if (!hasArea(W, H)) {
        std::fprintf(stderr, "%s: the window has no area\n", argv[0]);
        return 2;
    }
    // Clip coordinates of (0, u, v) in layer 0, as the GL forms them in float.
    const Matrix4 clip = multiply(sceneProjection(W, H), layerModelView(sceneView(DEFAULT_CAMERA), 0));
    float c[4];
    for (int row = 0; row < 4; ++row)
        c[row] = clip.m[row] * 0.0f + clip.m[4 + row] * u + clip.m[8 + row] * v + clip.m[12 + row];
    // Window coordinates (y up), then the pixel that holds them.
    const double xw = (static_cast<double>(c[0]) / c[3] + 1.0) * W / 2.0;
    const double yw = (static_cast<double>(c[1]) / c[3] + 1.0) * H / 2.0;
    std::printf("%d %d\n", static_cast<int>(xw), H - 1 - static_cast<int>(yw));
    return 0;
}

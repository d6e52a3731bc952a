// The window's pictures, drawn with its own scene code (scene.h) into an
// off-screen Mesa context of the window's size: no X server is needed. Its
// verdict is its exit status.
//
// At start-up and after 60 steps, from the start-up camera, the picture must
// show something. Where the context has shaders, the one draw call must give,
// pixel for pixel, the picture of the same points drawn one call each (only
// their order decides their pixels then) and that of the single calls, from
// far-out cameras, where neighbouring points overlap at nearly equal depths
// and only the order of the points and their exact depths decide which point
// keeps a pixel.
//
// usage: frame_pictures one|single   the drawing the context must choose: one
//        draw call (a context with shaders) or single calls (OpenGL 1.4)
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "camera.h"
#include "lattice.h"
#include "offscreen.h"
#include "scene.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
constexpr int STEPS = 60;

using Picture = std::vector<GLubyte>;

long differingPixels(const Picture& a, const Picture& b) {
    long differing = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        if (std::memcmp(&a[i], &b[i], 3) != 0) ++differing;
    return differing;
}

// The one draw call against the same points drawn one call each and against
// the single calls, from far out: the distances at which the lattice shrinks
// to 40 to 50 pixels, face-on, from just above and from above, head-on and
// from the side. False (said on stderr) where any picture differs.
bool sameFarPictures(const char* state, OffscreenScene& scene, const Lattice& lattice) {
    ScenePainter& painter = scene.painter();
    const Picture& buffer = scene.picture();
    const float elevations[] = {0.0f, 0.45f, 30.0f};
    const float azimuths[] = {0.0f, 45.0f};
    const float distances[] = {760.0f, 960.0f};
    int views = 0;
    bool same = true;
    for (const float azimuth : azimuths) {
        for (const float elevation : elevations) {
            for (const float distance : distances) {
                const CameraState camera = {elevation, azimuth, distance, 0.0f, 0.0f};
                painter.useDrawing(PointDrawing::ONE_CALL);
                scene.draw(lattice, camera);
                const Picture oneCall = buffer;
                ++views;
                for (const PointDrawing other : {PointDrawing::POINT_PER_CALL, PointDrawing::LITERAL_CALLS}) {
                    painter.useDrawing(other);
                    scene.draw(lattice, camera);
                    const long differing = differingPixels(oneCall, buffer);
                    if (differing != 0) {
                        std::fprintf(stderr, "%s, elevation %g, azimuth %g, distance %g: %ld pixels differ from %s\n",
                                     state, static_cast<double>(elevation), static_cast<double>(azimuth),
                                     static_cast<double>(distance), differing, pointDrawingName(other));
                        same = false;
                    }
                }
            }
        }
    }
    std::fprintf(stderr, "%s: one draw call %s one call per point and of the single calls from %d far-out cameras\n",
                 state, same ? "draws the pictures of" : "does NOT draw the pictures of", views);
    painter.useDrawing(PointDrawing::ONE_CALL);
    return same;
}

// The checks of the lattice in its present state.
bool check(const char* state, OffscreenScene& scene, const Lattice& lattice) {
    scene.draw(lattice);
    if (scene.litPixels() == 0) {
        std::fprintf(stderr, "%s: the picture is empty; the GL calls did not reach the off-screen context\n", state);
        return false;
    }
    return scene.painter().drawing() != PointDrawing::ONE_CALL || sameFarPictures(state, scene, lattice);
}

}  // namespace

int main(int argc, char** argv) {
    PointDrawing expected = PointDrawing::ONE_CALL;
    if (argc == 2 && std::strcmp(argv[1], "single") == 0) {
        expected = PointDrawing::LITERAL_CALLS;
    } else if (argc != 2 || std::strcmp(argv[1], "one") != 0) {
        std::fprintf(stderr, "usage: %s one|single\n", argv[0]);
        return 2;
    }
    // Every step prints its probe report: that goes to a null sink, the
    // verdicts go to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;

    // A size no context can draw: refused, with the context it created gone.
    std::fprintf(stderr, "a picture of no pixels, which must be refused: ");
    std::string reason;
    if (OffscreenScene::create(WIDTH, 0, reason) != nullptr) {
        std::fprintf(stderr, "an off-screen context of %d x 0 pixels was made\n", WIDTH);
        return 1;
    }
    std::fprintf(stderr, "%s\n", reason.c_str());

    const auto scene = OffscreenScene::create(WIDTH, HEIGHT, reason);
    if (!scene) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    const ScenePainter& painter = scene->painter();
    std::fprintf(stderr, "%d layer%s: OpenGL %s; points drawn with %s\n", NUM_LAYERS, NUM_LAYERS == 1 ? "" : "s",
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)), pointDrawingName(painter.drawing()));
    bool ok = painter.drawing() == expected;
    if (!ok) std::fprintf(stderr, "the context should have chosen %s\n", pointDrawingName(expected));

    const auto lattice = makeStartupLattice();
    ok = check("start-up", *scene, *lattice) && ok;
    for (int n = 0; n < STEPS; ++n) lattice->step();
    ok = check("after 60 steps", *scene, *lattice) && ok;
    return ok ? 0 : 1;
}

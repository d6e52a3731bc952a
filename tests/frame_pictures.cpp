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
#include <GL/osmesa.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "camera.h"
#include "lattice.h"
#include "scene.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
constexpr int STEPS = 60;

using Picture = std::vector<GLubyte>;

void drawFrame(ScenePainter& painter, const Lattice& lattice, const CameraState& camera = DEFAULT_CAMERA) {
    painter.draw(camera, lattice);
    glFinish();
}

// Pixels of the colour buffer that are not black: shows that the GL calls,
// GLU's included, reached this context.
long litPixels(const Picture& buffer) {
    long lit = 0;
    for (size_t i = 0; i < buffer.size(); i += 4)
        if (buffer[i] != 0 || buffer[i + 1] != 0 || buffer[i + 2] != 0) ++lit;
    return lit;
}

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
bool sameFarPictures(const char* state, ScenePainter& painter, const Lattice& lattice, const Picture& buffer) {
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
                drawFrame(painter, lattice, camera);
                const Picture oneCall = buffer;
                ++views;
                for (const PointDrawing other : {PointDrawing::POINT_PER_CALL, PointDrawing::LITERAL_CALLS}) {
                    painter.useDrawing(other);
                    drawFrame(painter, lattice, camera);
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
bool check(const char* state, ScenePainter& painter, const Lattice& lattice, const Picture& buffer) {
    drawFrame(painter, lattice);
    if (litPixels(buffer) == 0) {
        std::fprintf(stderr, "%s: the picture is empty; the GL calls did not reach the off-screen context\n", state);
        return false;
    }
    return painter.drawing() != PointDrawing::ONE_CALL || sameFarPictures(state, painter, lattice, buffer);
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

    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (context == nullptr) {
        std::fprintf(stderr, "cannot create an off-screen Mesa context\n");
        return 1;
    }
    Picture buffer(static_cast<size_t>(WIDTH) * HEIGHT * 4);
    if (!OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, WIDTH, HEIGHT)) {
        std::fprintf(stderr, "cannot make the off-screen Mesa context current\n");
        OSMesaDestroyContext(context);
        return 1;
    }

    // As the window's first draw sets up its context.
    setUpSceneState();
    ScenePainter painter;
    painter.setUpContext();
    setUpSceneProjection(WIDTH, HEIGHT);
    setUpSceneLight();
    std::fprintf(stderr, "%d layer%s: OpenGL %s; points drawn with %s\n", NUM_LAYERS, NUM_LAYERS == 1 ? "" : "s",
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)), pointDrawingName(painter.drawing()));
    bool ok = painter.drawing() == expected;
    if (!ok) std::fprintf(stderr, "the context should have chosen %s\n", pointDrawingName(expected));

    const auto lattice = makeStartupLattice();
    ok = check("start-up", painter, *lattice, buffer) && ok;
    for (int n = 0; n < STEPS; ++n) lattice->step();
    ok = check("after 60 steps", painter, *lattice, buffer) && ok;

    OSMesaDestroyContext(context);
    return ok ? 0 : 1;
}

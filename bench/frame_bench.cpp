// Times one frame of the window's picture: the window's own drawing code
// (scene.h) run in an off-screen Mesa context of the window's size, so no X
// server is needed. Every frame ends with glFinish, so the time includes the
// rasterisation by the software renderer. Measured at start-up and after 60
// steps, from the start-up camera; prints the median over repetitions of the
// milliseconds per frame and the frames per second.
//
// usage: frame_bench [REPETITIONS]   (5 by default)
#include <GL/osmesa.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camera.h"
#include "lattice.h"
#include "scene.h"

namespace {

constexpr int WIDTH = 800;
constexpr int HEIGHT = 600;
constexpr int STEPS = 60;
constexpr int WARM_UP_FRAMES = 5;
// Each repetition draws frames for at least this long, and at least MIN_FRAMES.
constexpr double SECONDS_PER_REPETITION = 0.5;
constexpr int MIN_FRAMES = 10;

using Clock = std::chrono::steady_clock;

void drawFrame(ScenePainter& painter, const Lattice& lattice) {
    painter.draw(DEFAULT_CAMERA, lattice);
    glFinish();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Median seconds per frame over the repetitions.
double secondsPerFrame(ScenePainter& painter, const Lattice& lattice, int repetitions) {
    for (int n = 0; n < WARM_UP_FRAMES; ++n) drawFrame(painter, lattice);
    std::vector<double> samples;
    for (int r = 0; r < repetitions; ++r) {
        const Clock::time_point start = Clock::now();
        double elapsed = 0.0;
        int frames = 0;
        while (frames < MIN_FRAMES || elapsed < SECONDS_PER_REPETITION) {
            drawFrame(painter, lattice);
            ++frames;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        }
        samples.push_back(elapsed / frames);
    }
    return median(samples);
}

// Pixels of the colour buffer that are not black: shows that the GL calls,
// GLU's included, reached this context.
long litPixels(const std::vector<GLubyte>& buffer) {
    long lit = 0;
    for (size_t i = 0; i < buffer.size(); i += 4)
        if (buffer[i] != 0 || buffer[i + 1] != 0 || buffer[i + 2] != 0) ++lit;
    return lit;
}

// Draws one frame, checks that it shows something, then times frames.
bool measure(const char* state, ScenePainter& painter, const Lattice& lattice, const std::vector<GLubyte>& buffer,
             int repetitions) {
    drawFrame(painter, lattice);
    const long lit = litPixels(buffer);
    if (lit == 0) {
        std::fprintf(stderr, "%s: the picture is empty; the GL calls did not reach the off-screen context\n", state);
        return false;
    }
    const double seconds = secondsPerFrame(painter, lattice, repetitions);
    std::fprintf(stderr, "%d layer%s, %-15s %8.3f ms per frame %8.1f frames per second  (%ld lit pixels)\n",
                 NUM_LAYERS, NUM_LAYERS == 1 ? "" : "s", state, seconds * 1e3, 1.0 / seconds, lit);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int repetitions = 5;
    if (argc > 2 || (argc == 2 && (repetitions = std::atoi(argv[1])) < 1)) {
        std::fprintf(stderr, "usage: %s [REPETITIONS]\n", argv[0]);
        return 2;
    }
    // Every step prints its probe report: that goes to a null sink, the
    // results go to standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;

    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (context == nullptr) {
        std::fprintf(stderr, "cannot create an off-screen Mesa context\n");
        return 1;
    }
    std::vector<GLubyte> buffer(static_cast<size_t>(WIDTH) * HEIGHT * 4);
    if (!OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, WIDTH, HEIGHT)) {
        std::fprintf(stderr, "cannot make the off-screen Mesa context current\n");
        return 1;
    }
    std::fprintf(stderr, "renderer: %s, %d x %d, median of %d repetitions\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)), WIDTH, HEIGHT, repetitions);

    // As the window's first draw sets up its context.
    setUpSceneState();
    ScenePainter painter;
    painter.setUpContext();
    setUpSceneProjection(WIDTH, HEIGHT);
    setUpSceneLight();
    std::fprintf(stderr, "points drawn %s\n",
                 painter.drawing() == PointDrawing::ONE_CALL ? "in one call (shaders)" : "one call each (no shaders)");

    Lattice lattice(STARTUP_TAU, STARTUP_SPACING);
    lattice.injectSource(SOURCE_X, SOURCE_Y, SOURCE_LAYER, SOURCE_VALUE, STARTUP_SPACING);
    bool ok = measure("start-up:", painter, lattice, buffer, repetitions);
    for (int n = 0; n < STEPS; ++n) lattice.step();
    ok = measure("after 60 steps:", painter, lattice, buffer, repetitions) && ok;

    OSMesaDestroyContext(context);
    return ok ? 0 : 1;
}

// Times one frame of the window's picture: the window's own drawing code
// (scene.h) run in an off-screen Mesa context of the window's size, so no X
// server is needed. Every frame ends with glFinish, so the time includes the
// rasterisation by the software renderer. Measured at start-up and after 60
// steps, from the start-up camera; prints the median over repetitions of the
// milliseconds per frame and the frames per second. Where the context has
// shaders, the one draw call and the single calls are timed side by side
// (repetitions taken in turn) and the ratio of their medians is printed. (The
// pictures themselves are checked by the test tests/frame_pictures.cpp.)
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
using Picture = std::vector<GLubyte>;

void drawFrame(ScenePainter& painter, const Lattice& lattice, const CameraState& camera = DEFAULT_CAMERA) {
    painter.draw(camera, lattice);
    glFinish();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Seconds per frame of one repetition.
double timeRepetition(ScenePainter& painter, const Lattice& lattice) {
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    int frames = 0;
    while (frames < MIN_FRAMES || elapsed < SECONDS_PER_REPETITION) {
        drawFrame(painter, lattice);
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return elapsed / frames;
}

// Pixels of the colour buffer that are not black: shows that the GL calls,
// GLU's included, reached this context.
long litPixels(const Picture& buffer) {
    long lit = 0;
    for (size_t i = 0; i < buffer.size(); i += 4)
        if (buffer[i] != 0 || buffer[i + 1] != 0 || buffer[i + 2] != 0) ++lit;
    return lit;
}

// Times the frames of the lattice in its present state.
void measure(const char* state, ScenePainter& painter, const Lattice& lattice, const Picture& buffer,
             int repetitions) {
    const PointDrawing chosen = painter.drawing();
    drawFrame(painter, lattice);
    const long lit = litPixels(buffer);

    // The drawings the context offers, timed in turn.
    std::vector<PointDrawing> drawings = {chosen};
    if (chosen == PointDrawing::ONE_CALL) drawings.push_back(PointDrawing::LITERAL_CALLS);
    std::vector<std::vector<double>> samples(drawings.size());
    for (const PointDrawing drawing : drawings) {
        painter.useDrawing(drawing);
        for (int n = 0; n < WARM_UP_FRAMES; ++n) drawFrame(painter, lattice);
    }
    for (int r = 0; r < repetitions; ++r) {
        for (size_t d = 0; d < drawings.size(); ++d) {
            painter.useDrawing(drawings[d]);
            samples[d].push_back(timeRepetition(painter, lattice));
        }
    }
    painter.useDrawing(chosen);
    char label[32];
    std::snprintf(label, sizeof label, "%s:", state);
    for (size_t d = 0; d < drawings.size(); ++d) {
        const double seconds = median(samples[d]);
        std::fprintf(stderr, "%d layer%s, %-15s %-13s %8.3f ms per frame %8.1f frames per second  (%ld lit pixels)\n",
                     NUM_LAYERS, NUM_LAYERS == 1 ? "" : "s", label, pointDrawingName(drawings[d]), seconds * 1e3,
                     1.0 / seconds, lit);
    }
    if (drawings.size() == 2)
        std::fprintf(stderr, "%d layer%s, %-15s one draw call / single calls: %.3f\n", NUM_LAYERS,
                     NUM_LAYERS == 1 ? "" : "s", label, median(samples[0]) / median(samples[1]));
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
    Picture buffer(static_cast<size_t>(WIDTH) * HEIGHT * 4);
    if (!OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, WIDTH, HEIGHT)) {
        std::fprintf(stderr, "cannot make the off-screen Mesa context current\n");
        return 1;
    }

    // As the window's first draw sets up its context.
    setUpSceneState();
    ScenePainter painter;
    painter.setUpContext();
    setUpSceneProjection(WIDTH, HEIGHT);
    setUpSceneLight();
    std::fprintf(stderr, "renderer: %s, OpenGL %s, %d x %d; points drawn with %s\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)), WIDTH, HEIGHT,
                 pointDrawingName(painter.drawing()));
    std::fprintf(stderr, "median of %d repetitions\n", repetitions);

    const auto startup = makeStartupLattice();
    Lattice& lattice = *startup;
    measure("start-up", painter, lattice, buffer, repetitions);
    for (int n = 0; n < STEPS; ++n) lattice.step();
    measure("after 60 steps", painter, lattice, buffer, repetitions);

    OSMesaDestroyContext(context);
    return 0;
}

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
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "lattice.h"
#include "offscreen.h"
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Seconds per frame of one repetition.
double timeRepetition(OffscreenScene& scene, const Lattice& lattice) {
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    int frames = 0;
    while (frames < MIN_FRAMES || elapsed < SECONDS_PER_REPETITION) {
        scene.draw(lattice);
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return elapsed / frames;
}

// Times the frames of the lattice in its present state.
void measure(const char* state, OffscreenScene& scene, const Lattice& lattice, int repetitions) {
    ScenePainter& painter = scene.painter();
    const PointDrawing chosen = painter.drawing();
    scene.draw(lattice);
    const long lit = scene.litPixels();

    // The drawings the context offers, timed in turn.
    std::vector<PointDrawing> drawings = {chosen};
    if (chosen == PointDrawing::ONE_CALL) drawings.push_back(PointDrawing::LITERAL_CALLS);
    std::vector<std::vector<double>> samples(drawings.size());
    for (const PointDrawing drawing : drawings) {
        painter.useDrawing(drawing);
        for (int n = 0; n < WARM_UP_FRAMES; ++n) scene.draw(lattice);
    }
    for (int r = 0; r < repetitions; ++r) {
        for (size_t d = 0; d < drawings.size(); ++d) {
            painter.useDrawing(drawings[d]);
            samples[d].push_back(timeRepetition(scene, lattice));
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

    std::string reason;
    const auto scene = OffscreenScene::create(WIDTH, HEIGHT, reason);
    if (!scene) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    std::fprintf(stderr, "renderer: %s, OpenGL %s, %d x %d; points drawn with %s\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)), WIDTH, HEIGHT,
                 pointDrawingName(scene->painter().drawing()));
    std::fprintf(stderr, "median of %d repetitions\n", repetitions);

    const auto startup = makeStartupLattice();
    Lattice& lattice = *startup;
    measure("start-up", *scene, lattice, repetitions);
    for (int n = 0; n < STEPS; ++n) lattice.step();
    measure("after 60 steps", *scene, lattice, repetitions);
    return 0;
}

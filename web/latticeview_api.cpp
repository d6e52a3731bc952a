// The C functions that the page's script calls: the program's lattice, its
// camera and drags, the matrices of the picture, and the lattice's snapshot. The page's frame timer,
// keys, reports and WebGL drawing are in latticeview.js.
//
// The lattice starts as the window's does; a step prints its probe report to
// standard output, which the page's script receives line by line.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "drag.h"
#include "lattice.h"
#include "picture.h"
#include "point_list.h"
#include "point_prelude.h"
#include "point_shader.h"
#include "snapshot.h"
#include "view_matrices.h"

namespace {

// The canvas, in CSS pixels: the window's size, in the units of its drags.
constexpr int CANVAS_WIDTH = WINDOW_WIDTH;
constexpr int CANVAS_HEIGHT = WINDOW_HEIGHT;

struct Program {
    std::unique_ptr<Lattice> lattice = makeStartupLattice();
    long steps = 0;  // taken since start-up
    CameraState camera = DEFAULT_CAMERA;
    CameraDrag drag;
};

// Created by lv_start, once, and never freed (as the window's lattice).
Program* program = nullptr;

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void lv_start() {
    if (program == nullptr) program = new Program();
}

EMSCRIPTEN_KEEPALIVE int lv_canvas_width() { return CANVAS_WIDTH; }
EMSCRIPTEN_KEEPALIVE int lv_canvas_height() { return CANVAS_HEIGHT; }
// The window's frame timer period, in seconds.
EMSCRIPTEN_KEEPALIVE double lv_frame_period() { return static_cast<double>(FRAME_PERIOD); }

// One time step and its report.
EMSCRIPTEN_KEEPALIVE void lv_step() {
    program->lattice->step();
    program->steps++;
}

// A button pressed at (x, y), in CSS pixels from the canvas's top left corner;
// buttons as the window numbers them (1 left, 2 middle, 3 right).
EMSCRIPTEN_KEEPALIVE void lv_press(int button, int x, int y) { program->drag.press(button, x, y, program->camera); }

EMSCRIPTEN_KEEPALIVE void lv_move(int x, int y) { program->drag.move(x, y); }

EMSCRIPTEN_KEEPALIVE void lv_release() { program->drag.release(); }

// The frame timer's part: a drag in progress moves the camera.
EMSCRIPTEN_KEEPALIVE void lv_update_drag() {
    program->camera = program->drag.update(program->camera, CANVAS_WIDTH, CANVAS_HEIGHT);
}

// The camera's five floats: elevation, azimuth, distance, targetX, targetY.
EMSCRIPTEN_KEEPALIVE const float* lv_camera() { return &program->camera.elevation; }

}  // extern "C"

// ---------------------------------------------------------------- drawing
// Each frame: the points of the lattice in the window's order (point_list.h),
// drawn with the window's shader bodies (point_shader.h) after this page's
// prelude (point_prelude.h), and the values of the prelude's uniforms.

namespace {

ScenePoint points[SCENE_POINTS_MAX];

// The uniforms, in the order of UNIFORMS; the script hands each to WebGL.
struct FrameUniforms {
    float modelViewProjection[16];
    float normalTransform[9];
    float eyeLightDirection[3];
    float viewportSize[2];
    float devicePixelRatio;
};
FrameUniforms uniforms;

struct UniformField {
    const char* name;
    int offset;  // in floats from the start of FrameUniforms
    int size;    // floats: 16 a mat4, 9 a mat3, 3 a vec3, 2 a vec2, 1 a float
};
const UniformField UNIFORMS[] = {
    {"lvModelViewProjection", offsetof(FrameUniforms, modelViewProjection) / sizeof(float), 16},
    {"lvNormalTransform", offsetof(FrameUniforms, normalTransform) / sizeof(float), 9},
    {"lvEyeLightDirection", offsetof(FrameUniforms, eyeLightDirection) / sizeof(float), 3},
    {"lvViewportSize", offsetof(FrameUniforms, viewportSize) / sizeof(float), 2},
    {"lvDevicePixelRatio", offsetof(FrameUniforms, devicePixelRatio) / sizeof(float), 1},
};
constexpr int UNIFORM_COUNT = sizeof UNIFORMS / sizeof UNIFORMS[0];

struct AttributeField {
    const char* name;
    int offset;  // in bytes from the start of a ScenePoint
    int size;    // floats
};
const AttributeField ATTRIBUTES[] = {
    {PAGE_POSITION_ATTRIBUTE, offsetof(ScenePoint, x), 3},
    {POINT_COLOR_ATTRIBUTE, offsetof(ScenePoint, red), 3},
    {POINT_SIZE_ATTRIBUTE, offsetof(ScenePoint, size), 1},
};
constexpr int ATTRIBUTE_COUNT = sizeof ATTRIBUTES / sizeof ATTRIBUTES[0];

const std::string VERTEX_SHADER = std::string(PAGE_VERTEX_PRELUDE) + POINT_VERTEX_SHADER_BODY;
const std::string FRAGMENT_SHADER = std::string(PAGE_FRAGMENT_PRELUDE) + POINT_FRAGMENT_SHADER_BODY;

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* lv_vertex_shader() { return VERTEX_SHADER.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* lv_fragment_shader() { return FRAGMENT_SHADER.c_str(); }

EMSCRIPTEN_KEEPALIVE int lv_attribute_count() { return ATTRIBUTE_COUNT; }
EMSCRIPTEN_KEEPALIVE const char* lv_attribute_name(int i) { return ATTRIBUTES[i].name; }
EMSCRIPTEN_KEEPALIVE int lv_attribute_offset(int i) { return ATTRIBUTES[i].offset; }
EMSCRIPTEN_KEEPALIVE int lv_attribute_size(int i) { return ATTRIBUTES[i].size; }
EMSCRIPTEN_KEEPALIVE int lv_point_stride() { return sizeof(ScenePoint); }
EMSCRIPTEN_KEEPALIVE const ScenePoint* lv_points() { return points; }
EMSCRIPTEN_KEEPALIVE int lv_points_max() { return SCENE_POINTS_MAX; }

EMSCRIPTEN_KEEPALIVE int lv_uniform_count() { return UNIFORM_COUNT; }
EMSCRIPTEN_KEEPALIVE const char* lv_uniform_name(int i) { return UNIFORMS[i].name; }
EMSCRIPTEN_KEEPALIVE int lv_uniform_offset(int i) { return UNIFORMS[i].offset; }
EMSCRIPTEN_KEEPALIVE int lv_uniform_size(int i) { return UNIFORMS[i].size; }
EMSCRIPTEN_KEEPALIVE const FrameUniforms* lv_uniforms() { return &uniforms; }

// Fills the points and the uniforms of the current frame; returns the number
// of points. The picture is the canvas's 800 x 600 CSS pixels, drawn at the
// device pixel ratio `pixelRatio`.
EMSCRIPTEN_KEEPALIVE int lv_frame(double pixelRatio) {
    const FrameMatrices frame = frameMatrices(program->camera, CANVAS_WIDTH, CANVAS_HEIGHT);
    std::copy(std::begin(frame.modelViewProjection.m), std::end(frame.modelViewProjection.m),
              uniforms.modelViewProjection);
    std::copy(std::begin(frame.normal), std::end(frame.normal), uniforms.normalTransform);
    std::copy(std::begin(frame.lightDirection), std::end(frame.lightDirection), uniforms.eyeLightDirection);
    uniforms.viewportSize[0] = CANVAS_WIDTH;
    uniforms.viewportSize[1] = CANVAS_HEIGHT;
    uniforms.devicePixelRatio = static_cast<float>(pixelRatio);
    return fillScenePoints(*program->lattice, points);
}

}  // extern "C"

static_assert(sizeof(CameraState) == 5 * sizeof(float), "the script reads the camera as five floats");
static_assert(NUM_LAYERS == 1, "the page's shader draws every point with layer 0's matrix");

// ---------------------------------------------------------------- snapshots
// The lattice as it is now, as the file that `lbm_trace --vtk` writes for the
// same step: the same encoder, the same name. The script copies the file out
// of the module's memory and offers it as a download.

namespace {

std::vector<unsigned char> snapshotFile;  // the last one encoded; its room is kept for the next
std::string snapshotName;

}  // namespace

extern "C" {

// Encodes the snapshot of the current step; returns the number of its bytes,
// which start at lv_snapshot_data().
EMSCRIPTEN_KEEPALIVE int lv_encode_snapshot() {
    encodeSnapshot(*program->lattice, snapshotFile);
    snapshotName = snapshotFileName(program->steps);
    return static_cast<int>(snapshotFile.size());
}
EMSCRIPTEN_KEEPALIVE const unsigned char* lv_snapshot_data() { return snapshotFile.data(); }
// "lattice_SSSSSS.vti", SSSSSS the step of the last snapshot encoded.
EMSCRIPTEN_KEEPALIVE const char* lv_snapshot_name() { return snapshotName.c_str(); }

}  // extern "C"

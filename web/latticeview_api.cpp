// The C functions that the page's script calls: the program's lattice, its
// camera and drags, and the matrices of the picture. The page's frame timer,
// keys, reports and WebGL drawing are in latticeview.js.
//
// The lattice starts as the window's does; a step prints its probe report to
// standard output, which the page's script receives line by line.
#include <emscripten/emscripten.h>

#include <memory>

#include "camera.h"
#include "lattice.h"
#include "view_matrices.h"

namespace {

// The canvas, in CSS pixels: the window's size, in the units of its drags.
constexpr int CANVAS_WIDTH = 800;
constexpr int CANVAS_HEIGHT = 600;

struct Program {
    std::unique_ptr<Lattice> lattice = makeStartupLattice();
    CameraState camera = DEFAULT_CAMERA;
    int dragMode = DRAG_NONE;
    int mouseX = 0, mouseY = 0;
    int pressX = 0, pressY = 0;
    CameraState pressCamera = DEFAULT_CAMERA;
    // The projection and the layer's model-view of the current camera.
    Matrix4 matrices[2];
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

// One time step and its report.
EMSCRIPTEN_KEEPALIVE void lv_step() { program->lattice->step(); }

// A button pressed at (x, y), in CSS pixels from the canvas's top left corner;
// buttons as the window numbers them (1 left, 2 middle, 3 right).
EMSCRIPTEN_KEEPALIVE void lv_press(int button, int x, int y) {
    program->dragMode = button;
    program->pressX = program->mouseX = x;
    program->pressY = program->mouseY = y;
    program->pressCamera = program->camera;
}

EMSCRIPTEN_KEEPALIVE void lv_move(int x, int y) {
    program->mouseX = x;
    program->mouseY = y;
}

EMSCRIPTEN_KEEPALIVE void lv_release() { program->dragMode = DRAG_NONE; }

// The frame timer's part: a drag in progress moves the camera.
EMSCRIPTEN_KEEPALIVE void lv_update_drag() {
    Program& p = *program;
    if (p.dragMode == DRAG_NONE) return;
    p.camera = dragCamera(p.pressCamera, p.camera, p.dragMode, p.pressX - p.mouseX, p.pressY - p.mouseY,
                          CANVAS_WIDTH, CANVAS_HEIGHT);
}

// The camera's five floats: elevation, azimuth, distance, targetX, targetY.
EMSCRIPTEN_KEEPALIVE const float* lv_camera() { return &program->camera.elevation; }

EMSCRIPTEN_KEEPALIVE void lv_set_camera(float elevation, float azimuth, float distance, float targetX,
                                        float targetY) {
    program->camera = {elevation, azimuth, distance, targetX, targetY};
}

}  // extern "C"

// ---------------------------------------------------------------- drawing
// PROVISIONAL: replaced by the shared point list and shader.
namespace {
struct Point {
    float position[3];
    float colour[3];
    float size;
};
Point points[2 * NUM_LAYERS * GRID_SIZE * GRID_SIZE];
float uniformValues[16 + 2 + 1];
const char* const VERTEX_SHADER = R"(precision highp float;
uniform mat4 u_modelViewProjection;
uniform vec2 u_viewport;
uniform float u_pixelRatio;
attribute vec3 a_position;
attribute vec3 a_colour;
attribute float a_size;
varying vec3 v_colour;
void main() {
    vec4 clip = u_modelViewProjection * vec4(a_position, 1.0);
    vec2 half_ = u_viewport * 0.5;
    vec2 window = (clip.xy / clip.w) * half_ + half_;
    window = floor(window * 256.0 + 0.5) / 256.0;
    vec2 centre = floor(window) + 0.5;
    clip.xy = (centre - half_) / half_ * clip.w;
    gl_Position = clip;
    gl_PointSize = a_size * u_pixelRatio;
    v_colour = clamp(a_colour * 0.2 + a_colour * 0.57735026918962573, 0.0, 1.0);
}
)";
const char* const FRAGMENT_SHADER = R"(precision mediump float;
varying vec3 v_colour;
void main() { gl_FragColor = vec4(v_colour, 1.0); }
)";
}  // namespace

extern "C" {
EMSCRIPTEN_KEEPALIVE const char* lv_vertex_shader() { return VERTEX_SHADER; }
EMSCRIPTEN_KEEPALIVE const char* lv_fragment_shader() { return FRAGMENT_SHADER; }
EMSCRIPTEN_KEEPALIVE int lv_attribute_count() { return 3; }
EMSCRIPTEN_KEEPALIVE const char* lv_attribute_name(int i) {
    static const char* const names[] = {"a_position", "a_colour", "a_size"};
    return names[i];
}
EMSCRIPTEN_KEEPALIVE int lv_attribute_size(int i) { return i == 2 ? 1 : 3; }
EMSCRIPTEN_KEEPALIVE int lv_attribute_offset(int i) { return i * 12; }
EMSCRIPTEN_KEEPALIVE int lv_point_stride() { return sizeof(Point); }
EMSCRIPTEN_KEEPALIVE const Point* lv_points() { return points; }
EMSCRIPTEN_KEEPALIVE int lv_uniform_count() { return 3; }
EMSCRIPTEN_KEEPALIVE const char* lv_uniform_name(int i) {
    static const char* const names[] = {"u_modelViewProjection", "u_viewport", "u_pixelRatio"};
    return names[i];
}
EMSCRIPTEN_KEEPALIVE int lv_uniform_offset(int i) { return i == 0 ? 0 : i == 1 ? 16 : 18; }
EMSCRIPTEN_KEEPALIVE int lv_uniform_size(int i) { return i == 0 ? 16 : i == 1 ? 2 : 1; }
EMSCRIPTEN_KEEPALIVE const float* lv_uniform_values() { return uniformValues; }
EMSCRIPTEN_KEEPALIVE int lv_frame(double pixelRatio) {
    const Matrix4 mvp = multiply(sceneProjection(CANVAS_WIDTH, CANVAS_HEIGHT),
                                 layerModelView(sceneView(program->camera), 0));
    for (int i = 0; i < 16; ++i) uniformValues[i] = mvp.m[i];
    uniformValues[16] = CANVAS_WIDTH;
    uniformValues[17] = CANVAS_HEIGHT;
    uniformValues[18] = static_cast<float>(pixelRatio);
    int n = 0;
    const LatticeLayer* layer = program->lattice->layers[0];
    float v = -25.0f;
    for (int y = 0; y < GRID_SIZE; ++y, v += 1.0f) {
        float u = -25.0f;
        for (int x = 0; x < GRID_SIZE; ++x, u += 1.0f) {
            const Cell* cell = layer->cellAt(x, y);
            if (cell->intensity > 0.0f) points[n++] = {{0.0f, u, v}, {0.0f, cell->intensity, 0.0f}, 3.0f};
            points[n++] = {{0.0f, u, v}, {0.1f, 0.6f, 1.0f}, 1.0f};
        }
    }
    return n;
}

}  // extern "C"

static_assert(sizeof(CameraState) == 5 * sizeof(float), "the script reads the camera as five floats");

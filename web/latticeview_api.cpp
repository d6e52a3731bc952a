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

static_assert(sizeof(CameraState) == 5 * sizeof(float), "the script reads the camera as five floats");

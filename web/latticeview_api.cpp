// The C functions that the page's script calls: the program's lattice, its
// camera and drags, the matrices of the picture, the lattice's snapshot, and
// the other runs (a snapshot continued, other parameters).
// The page's frame timer, keys, drags, reports and WebGL drawing are its
// script's, in web/script/.
//
// The lattice starts as the window's does; a step prints its probe report to
// standard output, which the page's script receives line by line.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "drag.h"
#include "lattice.h"
#include "parameter_text.h"
#include "picture.h"
#include "point_list.h"
#include "point_prelude.h"
#include "point_shader.h"
#include "run_parameters.h"
#include "snapshot_format.h"
#include "snapshot_layout.h"
#include "view_matrices.h"

namespace {

// The largest canvas, in CSS pixels: the window's size at start-up. The page
// shrinks the canvas to fit smaller screens; the picture and the drags then
// take its current size, as the window's take the window's.
constexpr int CANVAS_WIDTH = WINDOW_WIDTH;
constexpr int CANVAS_HEIGHT = WINDOW_HEIGHT;

// A two-finger touch: the midpoint pans as a right-button drag does, and the
// spread of the fingers zooms as a middle-button drag does. None of the
// window's three drags; the page hands no mouse button past the third to
// lv_press.
constexpr int DRAG_PINCH = 4;
static_assert(DRAG_PINCH != DRAG_NONE && DRAG_PINCH != DRAG_ORBIT && DRAG_PINCH != DRAG_ZOOM && DRAG_PINCH != DRAG_PAN,
              "a pinch is none of the window's drags");

// A camera key of the page (an arrow, alone or with Shift) moves the camera
// as a drag of this many pixels on the window's start-up size does: 18
// degrees of azimuth or 6 of elevation, or 5 and 6.7 units of pan.
constexpr int KEY_STEP = WINDOW_HEIGHT / 15;
static_assert(KEY_STEP * 15 == WINDOW_HEIGHT, "a key's step is a whole number of pixels");

struct Program {
    RunParameters parameters;  // of the lattice's run, which its snapshots record
    std::unique_ptr<Lattice> lattice = makeLattice(parameters);
    long steps = 0;  // taken since start-up
    CameraState camera = DEFAULT_CAMERA;
    CameraDrag drag;
    double pressSpread = 1.0, spread = 1.0;  // of a pinch: the fingers' distance at the press and now
};

// Created by lv_start, once, and never freed (as the window's lattice).
Program* program = nullptr;

// The middle-button drag that scales the distance by `ratio` on a picture H
// pixels high: dragCamera zooms by ZOOM_FACTOR * dY / H of the distance.
int zoomDragFor(double ratio, int H) {
    const double dY = (1.0 - ratio) / ZOOM_FACTOR * H;
    const double bound = 1e6;  // far beyond DISTANCE_MAX's reach, well inside an int
    return static_cast<int>(std::lround(std::clamp(dY, -bound, bound)));
}

// After the camera moved at once (a zoom or a key), a drag in progress goes
// on from the new camera, as after a new press where the pointer is.
void restartDrag(Program& p) {
    if (p.drag.active()) p.drag.press(p.drag.dragMode, p.drag.mouseX, p.drag.mouseY, p.camera);
    p.pressSpread = p.spread;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void lv_start() {
    if (program == nullptr) program = new Program();
}

// The largest canvas, in CSS pixels.
EMSCRIPTEN_KEEPALIVE int lv_canvas_width() { return CANVAS_WIDTH; }
EMSCRIPTEN_KEEPALIVE int lv_canvas_height() { return CANVAS_HEIGHT; }
// The window's frame timer period, in seconds.
EMSCRIPTEN_KEEPALIVE double lv_frame_period() { return static_cast<double>(FRAME_PERIOD); }

// One time step and its report; returns 0, taking none, once the steps have
// reached the largest count they can hold (a snapshot may continue from
// near it).
EMSCRIPTEN_KEEPALIVE int lv_step() {
    if (program->steps == LONG_MAX) return 0;
    program->lattice->step();
    program->steps++;
    return 1;
}

// The steps of the run: from start-up, or from the step of the snapshot it
// continues.
EMSCRIPTEN_KEEPALIVE long lv_steps() { return program->steps; }

// A button pressed at (x, y), in CSS pixels from the canvas's top left corner;
// buttons as the window numbers them (1 left, 2 middle, 3 right).
EMSCRIPTEN_KEEPALIVE void lv_press(int button, int x, int y) { program->drag.press(button, x, y, program->camera); }

EMSCRIPTEN_KEEPALIVE void lv_move(int x, int y) { program->drag.move(x, y); }

// Two fingers down, their midpoint at (x, y) and `spread` apart (CSS pixels):
// a drag that starts from the current camera, as a press does.
EMSCRIPTEN_KEEPALIVE void lv_pinch_press(int x, int y, double spread) {
    lv_press(DRAG_PINCH, x, y);
    program->pressSpread = program->spread = spread > 0 ? spread : 1.0;
}

EMSCRIPTEN_KEEPALIVE void lv_pinch_move(int x, int y, double spread) {
    lv_move(x, y);
    if (spread > 0) program->spread = spread;
}

EMSCRIPTEN_KEEPALIVE void lv_release() { program->drag.release(); }

EMSCRIPTEN_KEEPALIVE int lv_dragging() { return program->drag.active(); }

// The frame timer's part: a drag in progress moves the camera, on a canvas of
// width x height CSS pixels. Returns 1 when the camera changed.
EMSCRIPTEN_KEEPALIVE int lv_update_drag(int width, int height) {
    Program& p = *program;
    const CameraDrag& d = p.drag;
    if (!d.active()) return 0;
    const CameraState before = p.camera;
    if (d.dragMode == DRAG_PINCH) {
        const CameraState panned =
            dragCamera(d.pressCamera, p.camera, DRAG_PAN, d.pressX - d.mouseX, d.pressY - d.mouseY, width, height);
        p.camera = dragCamera(d.pressCamera, panned, DRAG_ZOOM, 0, zoomDragFor(p.pressSpread / p.spread, height),
                              width, height);
    } else {
        p.camera = d.update(p.camera, width, height);
    }
    return std::memcmp(&before, &p.camera, sizeof before) != 0;
}

// The wheel, a trackpad's pinch, the keys and buttons that zoom: the distance
// times `factor` (zoomCamera, with its bounds).
EMSCRIPTEN_KEEPALIVE void lv_zoom(double factor) {
    program->camera = zoomCamera(program->camera, factor);
    restartDrag(*program);
}

// `notches` notches of a wheel (positive closer; fractions for a part of one).
EMSCRIPTEN_KEEPALIVE void lv_zoom_notches(double notches) { lv_zoom(notchZoomFactor(notches)); }

// A camera key: the drag `mode` (DRAG_ORBIT or DRAG_PAN) of dX, dY key steps
// (as the window's pressX - mouseX and pressY - mouseY) on the window's
// start-up size, from the current camera.
EMSCRIPTEN_KEEPALIVE void lv_camera_key(int mode, int dX, int dY) {
    if (mode != DRAG_ORBIT && mode != DRAG_PAN) return;
    program->camera = dragCamera(program->camera, program->camera, mode, dX * KEY_STEP, dY * KEY_STEP,
                                 CANVAS_WIDTH, CANVAS_HEIGHT);
    restartDrag(*program);
}
EMSCRIPTEN_KEEPALIVE int lv_drag_orbit() { return DRAG_ORBIT; }
EMSCRIPTEN_KEEPALIVE int lv_drag_pan() { return DRAG_PAN; }

// What the picture shows, for its description: the cells lit (drawn green)
// and all cells, and the steps taken.
EMSCRIPTEN_KEEPALIVE int lv_lit_cells() { return litCellCount(*program->lattice); }
EMSCRIPTEN_KEEPALIVE int lv_cells() { return NUM_LAYERS * GRID_SIZE * GRID_SIZE; }

// The camera's five floats: elevation, azimuth, distance, targetX, targetY.
EMSCRIPTEN_KEEPALIVE const float* lv_camera() { return &program->camera.elevation; }

// The values that the last report printed, as floats: for each probe its
// intensity, then its population. The plot keeps them at every step.
EMSCRIPTEN_KEEPALIVE int lv_probe_count() { return PROBE_COUNT; }
EMSCRIPTEN_KEEPALIVE const float* lv_probes() {
    static float values[2 * PROBE_COUNT];
    for (int k = 0; k < PROBE_COUNT; ++k) {
        const ProbeValues probe = program->lattice->probe(k);
        values[2 * k] = probe.intensity;
        values[2 * k + 1] = probe.population;
    }
    return values;
}

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
// of points. The picture is the canvas's width x height CSS pixels (as the
// window draws at that size), drawn at the device pixel ratio `pixelRatio`.
EMSCRIPTEN_KEEPALIVE int lv_frame(int width, int height, double pixelRatio) {
    if (!hasArea(width, height)) return 0;
    const FrameMatrices frame = frameMatrices(program->camera, width, height);
    std::copy(std::begin(frame.modelViewProjection.m), std::end(frame.modelViewProjection.m),
              uniforms.modelViewProjection);
    std::copy(std::begin(frame.normal), std::end(frame.normal), uniforms.normalTransform);
    std::copy(std::begin(frame.lightDirection), std::end(frame.lightDirection), uniforms.eyeLightDirection);
    uniforms.viewportSize[0] = static_cast<float>(width);
    uniforms.viewportSize[1] = static_cast<float>(height);
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
    encodeSnapshot(*program->lattice, SnapshotDescription{program->steps, program->parameters}, snapshotFile);
    snapshotName = snapshotFileName(program->steps);
    return static_cast<int>(snapshotFile.size());
}
EMSCRIPTEN_KEEPALIVE const unsigned char* lv_snapshot_data() { return snapshotFile.data(); }
// "lattice_SSSSSS.vti", SSSSSS the step of the last snapshot encoded.
EMSCRIPTEN_KEEPALIVE const char* lv_snapshot_name() { return snapshotName.c_str(); }

}  // extern "C"

// ---------------------------------------------------------------- other runs
// A snapshot opened and continued from its step with its parameters, exactly
// as `lbm_trace --resume FILE` continues it, read by the same reader; and a
// new run from step 0 with other parameters, read as lbm_trace reads its
// options. The script first copies a file's bytes, or a parameter's text,
// into the input buffer. The module's memory does not grow: the buffer has
// room for the largest snapshot and its name, and the script refuses a larger
// file without copying more of it than that.

namespace {

constexpr size_t NAME_ROOM = 256;  // bytes of a file's name, its NUL included
std::vector<unsigned char> input;  // made at its first use, then kept
SnapshotReading opened;            // the snapshot last read, which lv_continue_snapshot continues
bool openedReady = false;
std::string answer;                // the text last handed to the script: a reason, a value, a rule
RunParameters taken;               // the parameters of the next restart

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int lv_snapshot_max_bytes() { return static_cast<int>(snapshotMaxBytes()); }
EMSCRIPTEN_KEEPALIVE int lv_input_size() { return static_cast<int>(snapshotMaxBytes() + NAME_ROOM); }
EMSCRIPTEN_KEEPALIVE unsigned char* lv_input() {
    if (input.empty()) input.resize(snapshotMaxBytes() + NAME_ROOM);
    return input.data();
}

// Reads the `size` bytes at lv_input() (at most lv_snapshot_max_bytes()) as
// a snapshot, named by the NUL-terminated text that follows them (the name
// gives the step of a snapshot without field data). Null when it is one of
// this lattice, which lv_continue_snapshot then continues; otherwise the
// reason, for "not a latticeview snapshot: REASON". The running lattice is
// not touched either way.
EMSCRIPTEN_KEEPALIVE const char* lv_read_snapshot(int size) {
    openedReady = false;
    if (size < 0 || static_cast<size_t>(size) > snapshotMaxBytes()) {
        answer = "it is larger than a snapshot of this lattice can be";
        return answer.c_str();
    }
    const unsigned char* data = lv_input();
    const char* name = reinterpret_cast<const char*>(data + size);
    if (std::memchr(name, '\0', NAME_ROOM) == nullptr) name = "";
    if (!readSnapshot(data, static_cast<size_t>(size), name, opened, answer)) return answer.c_str();
    openedReady = true;
    return nullptr;
}

// The first `size` bytes of a file too large to be a snapshot, at
// lv_input(): null when they begin as one of this lattice would, otherwise
// the reason.
EMSCRIPTEN_KEEPALIVE const char* lv_read_snapshot_head(int size) {
    if (size < 0 || static_cast<size_t>(size) > snapshotMaxBytes()) size = static_cast<int>(snapshotMaxBytes());
    return readSnapshotHead(lv_input(), static_cast<size_t>(size), answer) ? nullptr : answer.c_str();
}
// What the snapshot last read says: its step, and whether it has field data
// (without, its step is from its name and its parameters the start-up ones).
EMSCRIPTEN_KEEPALIVE long lv_read_step() { return opened.description.step; }
EMSCRIPTEN_KEEPALIVE int lv_read_has_field_data() { return opened.hasFieldData; }

// The run continues the snapshot last read (its bytes still at lv_input()),
// from its step, with its parameters. Returns 0 where none was read since.
EMSCRIPTEN_KEEPALIVE int lv_continue_snapshot() {
    if (!openedReady) return 0;
    openedReady = false;
    program->parameters = opened.description.parameters;
    program->lattice = restoreLattice(lv_input(), opened, program->parameters);
    program->steps = opened.description.step;
    return 1;
}

// The parameters by the names of lbm_trace's options: their count, names,
// words in messages, and rules.
EMSCRIPTEN_KEEPALIVE int lv_parameter_count() { return PARAMETER_COUNT; }
EMSCRIPTEN_KEEPALIVE const char* lv_parameter_name(int parameter) { return RUN_PARAMETER_NAMES[parameter].name; }
EMSCRIPTEN_KEEPALIVE const char* lv_parameter_what(int parameter) { return RUN_PARAMETER_NAMES[parameter].what; }
EMSCRIPTEN_KEEPALIVE const char* lv_parameter_rule(int parameter) {
    answer = runParameterRule(static_cast<RunParameter>(parameter));
    return answer.c_str();
}

// The value of `parameter` in the run (or, with `startUp`, at start-up), as
// lv_take_parameter takes it back: a float as the snapshots write it (the
// shortest text that reads back as the same float), the source as X,Y, or
// X,Y,LAYER where the layer is not 0.
EMSCRIPTEN_KEEPALIVE const char* lv_parameter_text(int parameter, int startUp) {
    const RunParameters p = startUp ? RunParameters() : program->parameters;
    switch (static_cast<RunParameter>(parameter)) {
        case PARAMETER_TAU:
            answer = snapshotFloatText(p.tau);
            break;
        case PARAMETER_SPACING:
            answer = snapshotFloatText(p.spacing);
            break;
        case PARAMETER_SOURCE:
            answer = std::to_string(p.sourceX) + ',' + std::to_string(p.sourceY) +
                      (p.sourceLayer != 0 ? ',' + std::to_string(p.sourceLayer) : "");
            break;
        case PARAMETER_SOURCE_VALUE:
            answer = snapshotFloatText(p.sourceValue);
            break;
        case PARAMETER_COUNT:
            answer.clear();
            break;
    }
    return answer.c_str();
}

// Reads the NUL-terminated text at lv_input() as the value of `parameter` for
// the next restart; 1 when taken, 0 when not (a value lbm_trace refuses).
EMSCRIPTEN_KEEPALIVE int lv_take_parameter(int parameter) {
    if (parameter < 0 || parameter >= PARAMETER_COUNT) return 0;
    const unsigned char* text = lv_input();
    if (std::memchr(text, '\0', input.size()) == nullptr) return 0;
    return readRunParameter(static_cast<RunParameter>(parameter), reinterpret_cast<const char*>(text), taken);
}
// The parameters taken so far are forgotten: the next restart has the
// start-up values but for those taken after this.
EMSCRIPTEN_KEEPALIVE void lv_forget_parameters() { taken = RunParameters(); }

// A new run from step 0 with the parameters taken (the others at their
// start-up values), which are then forgotten.
EMSCRIPTEN_KEEPALIVE void lv_restart() {
    program->parameters = taken;
    program->lattice = makeLattice(taken);
    program->steps = 0;
    taken = RunParameters();
}

}  // extern "C"

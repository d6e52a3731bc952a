#include "world_window.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <cstdlib>

#include "lattice.h"
#include "scene.h"

namespace {

constexpr int KEY_STEP = 'f';
constexpr int KEY_QUIT = 'q';

}  // namespace

WorldWindow::WorldWindow(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label),
      lattice(nullptr),
      camera(DEFAULT_CAMERA),
      dragMode(DRAG_NONE),
      mouseX(0),
      mouseY(0),
      pressX(0),
      pressY(0),
      pressCamera(DEFAULT_CAMERA) {
    lattice = new Lattice(STARTUP_TAU, STARTUP_SPACING);
    lattice->injectSource(SOURCE_X, SOURCE_Y, SOURCE_LAYER, SOURCE_VALUE, STARTUP_SPACING);
}

// The lattice is deliberately left allocated: it lives until the process ends.
WorldWindow::~WorldWindow() = default;

int WorldWindow::handle(int event) {
    switch (event) {
        case FL_PUSH:
            dragMode = Fl::event_button();
            pressX = mouseX = Fl::event_x();
            pressY = mouseY = Fl::event_y();
            pressCamera = camera;
            return 1;
        case FL_RELEASE:
            dragMode = DRAG_NONE;
            return 1;
        case FL_DRAG:
            // The camera follows at the next timer tick.
            mouseX = Fl::event_x();
            mouseY = Fl::event_y();
            return 1;
        case FL_KEYBOARD:
            if (Fl::event_key() == KEY_STEP) {
                lattice->step();
            } else if (Fl::event_key() == KEY_QUIT) {
                std::exit(1);
            }
            return 1;  // every key is consumed, Escape included
        default:
            return Fl_Window::handle(event);
    }
}

void WorldWindow::resize(int x, int y, int width, int height) {
    Fl_Gl_Window::resize(x, y, boundedWindowSize(width), boundedWindowSize(height));
}

void WorldWindow::flush() {
    // Another client can make the X window larger than the program ever asks
    // for, and the GL library sizes its buffers after the X window, not after
    // the toolkit's idea of it. Such a frame is not drawn: the window is sent
    // back to its bounded size first.
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    if (XGetGeometry(fl_display, fl_xid(this), &root, &x, &y, &width, &height, &border, &depth) &&
        (width > WINDOW_SIZE_MAX || height > WINDOW_SIZE_MAX)) {
        XResizeWindow(fl_display, fl_xid(this), static_cast<unsigned>(boundedWindowSize(static_cast<int>(width))),
                      static_cast<unsigned>(boundedWindowSize(static_cast<int>(height))));
        return;
    }
    Fl_Gl_Window::flush();
}

void WorldWindow::updateDrag() {
    if (dragMode != DRAG_NONE) applyDrag();
}

void WorldWindow::applyDrag() {
    camera = dragCamera(pressCamera, camera, dragMode, pressX - mouseX, pressY - mouseY, w(), h());
}

void WorldWindow::draw() {
    const int W = w();
    const int H = h();
    const bool contextSetUp = !valid();

    if (contextSetUp) setUpSceneState();
    // Skipped while the window has no area (the field of view and the aspect
    // ratio would divide by 0), and done on the first draw where it has one.
    if (projection.due(contextSetUp, W, H)) setUpSceneProjection(W, H);
    if (contextSetUp) setUpSceneLight();

    drawScene(camera, *lattice);
}

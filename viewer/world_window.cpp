#include "world_window.h"

#include <FL/Fl.H>
#include <FL/platform.H>

#include <cstdlib>

#include "lattice.h"

namespace {

constexpr int KEY_STEP = 'f';
constexpr int KEY_QUIT = 'q';

// Asks the X server to give `window` the size width x height, and returns
// true. Where the toolkit does not draw through X11 (FLTK 1.4 can run on
// Wayland), makes no call and returns false.
bool requestXWindowSize(const Fl_Window* window, int width, int height) {
#if FL_API_VERSION >= 10400 && !defined(FLTK_USE_X11)
    // A toolkit built without X11.
    (void)window;
    (void)width;
    (void)height;
    return false;
#else
#if FL_API_VERSION >= 10400
    // Null while the toolkit uses Wayland.
    Display* const display = fl_x11_display();
    if (display == nullptr) return false;
    const Window xid = fl_x11_xid(window);
#else
    // FLTK 1.3 always draws through X11.
    Display* const display = fl_display;
    const Window xid = fl_xid(window);
#endif
    XResizeWindow(display, xid, static_cast<unsigned>(width), static_cast<unsigned>(height));
    return true;
#endif
}

}  // namespace

WorldWindow::WorldWindow(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label),
      lattice(makeStartupLattice().release()),
      camera(DEFAULT_CAMERA) {}

// The lattice is deliberately left allocated: it lives until the process ends.
WorldWindow::~WorldWindow() = default;

int WorldWindow::handle(int event) {
    switch (event) {
        case FL_PUSH:
            drag.press(Fl::event_button(), Fl::event_x(), Fl::event_y(), camera);
            return 1;
        case FL_RELEASE:
            drag.release();
            return 1;
        case FL_DRAG:
            // The camera follows at the next timer tick.
            drag.move(Fl::event_x(), Fl::event_y());
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
    // Once the window is shown, the toolkit calls this with the X window's
    // real size after every change of it (the program itself never resizes
    // the window), so a size over the bound here is one that another client
    // gave the X window. It is asked back once, when the window goes over the
    // bound; a window manager that keeps it too large is not asked again.
    const int boundedWidth = boundedWindowSize(width);
    const int boundedHeight = boundedWindowSize(height);
    if (boundedWidth == width && boundedHeight == height) {
        oversized = false;
    } else if (shown() && !oversized) {
        oversized = requestXWindowSize(this, boundedWidth, boundedHeight);
    }
    Fl_Gl_Window::resize(x, y, boundedWidth, boundedHeight);
}

void WorldWindow::flush() {
    // The GL library sizes its buffers after the X window, not after the
    // toolkit's bounded idea of it: nothing is drawn while the X window is
    // too large.
    if (oversized) return;
    Fl_Gl_Window::flush();
}

void WorldWindow::updateDrag() {
    if (drag.active()) applyDrag();
}

void WorldWindow::applyDrag() { camera = drag.update(camera, w(), h()); }

void WorldWindow::draw() {
    const int W = w();
    const int H = h();
    const bool contextSetUp = !valid();

    if (contextSetUp) setUpSceneState();
    // The drawing is chosen once per context: on the first draw of a new one,
    // not when the toolkit merely invalidates it (after a resize).
    if (!context_valid()) painter.setUpContext();
    // Skipped while the window has no area (the field of view and the aspect
    // ratio would divide by 0), and done on the first draw where it has one.
    if (projection.due(contextSetUp, W, H)) setUpSceneProjection(W, H);
    if (contextSetUp) setUpSceneLight();

    painter.draw(camera, *lattice);
}

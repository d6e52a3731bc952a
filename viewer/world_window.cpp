#include "world_window.h"

#include <FL/Fl.H>
#include <FL/gl.h>
#include <FL/x.H>
#include <GL/glu.h>

#include <cstdlib>

#include "lattice.h"

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

void WorldWindow::setUpProjection(int W, int H) {
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(verticalFieldOfView(W, H), aspectRatio(W, H), NEAR_PLANE, FAR_PLANE);
}

void WorldWindow::draw() {
    const int W = w();
    const int H = h();
    const bool contextSetUp = !valid();

    if (contextSetUp) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glEnable(GL_CULL_FACE);
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHTING);
        glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
        glEnable(GL_NORMALIZE);
    }
    // Skipped while the window has no area (the field of view and the aspect
    // ratio would divide by 0), and done on the first draw where it has one.
    if (projection.due(contextSetUp, W, H)) setUpProjection(W, H);
    if (contextSetUp) {
        const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
        const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
        glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
        glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const EyePosition eye = eyePosition(camera);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, static_cast<double>(camera.targetX), static_cast<double>(camera.targetY),
              EYE_HEIGHT, 0.0, 0.0, 1.0);

    // Given after the view transform, so the light is fixed in the world.
    const GLfloat lightDirection[] = {1.0f, 1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);

    lattice->draw();
}

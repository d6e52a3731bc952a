// The program's one OpenGL window: it owns the lattice, runs a time step on
// `f`, ends the program on `q`, and orbits, zooms and pans its camera with
// mouse drags.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include "camera.h"
#include "drag.h"
#include "picture.h"
#include "scene.h"
#include "window_bounds.h"

class Lattice;

class WorldWindow : public Fl_Gl_Window {
public:
    Lattice* lattice;     // owned; never freed (it lives as long as the process)
    CameraState camera;
    CameraDrag drag;      // the mouse drag of the camera, idle at start-up

    WorldWindow(int x, int y, int w, int h, const char* label);
    ~WorldWindow() override;

    void draw() override;
    int handle(int event) override;
    // Keep the window within WINDOW_SIZE_MAX in both directions. resize
    // bounds every size the toolkit is given (-geometry, and under X11 the X
    // window's real size after each change); when another client has made
    // the X window larger than that, it asks once for the bounded size, and
    // flush draws nothing until the X window is back within the bound.
    void resize(int x, int y, int w, int h) override;
    void flush() override;

    // Applies a drag in progress to the camera; called by the frame timer.
    void updateDrag();
    // Recomputes the camera from the drag in progress.
    void applyDrag();

private:
    // Viewport and projection wait here while the window has no area.
    ProjectionSchedule projection;
    // Draws the picture; set up anew for every new GL context.
    ScenePainter painter;
    // The X window is larger than WINDOW_SIZE_MAX (as last reported by the
    // X server); the shrink request for it has been sent.
    bool oversized = false;
};

// The one window, set by main before it is shown and read by the frame timer.
extern WorldWindow* g_window;

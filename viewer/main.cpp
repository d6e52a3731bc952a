// Entry point: one window, a frame timer, the toolkit's event loop.
#include <FL/Fl.H>

#include "world_window.h"

WorldWindow* g_window = nullptr;

// Frame timer: applies a drag in progress, redraws, re-arms.
static void tick(void*) {
    g_window->updateDrag();
    g_window->redraw();
    Fl::repeat_timeout(static_cast<double>(FRAME_PERIOD), tick, nullptr);
}

int main(int argc, char** argv) {
    Fl::visual(FL_RGB);
    g_window = new WorldWindow(100, 100, 800, 600, "World");
    g_window->show(argc, argv);
    Fl::add_timeout(0.0, tick, nullptr);
    return Fl::run();
}

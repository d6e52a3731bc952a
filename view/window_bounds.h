// The window's own rules, in plain code that tests can call: its size bound
// and when its viewport and projection are set up. (The page has neither.)
#pragma once

// Largest window width and height the program asks for and draws: the
// largest viewport that Mesa's software renderer serves (its
// GL_MAX_VIEWPORT_DIMS), well inside the X protocol's 16-bit sizes. Mesa 22.3
// was seen to crash on windows of 65,535 x 65,535 pixels.
constexpr int WINDOW_SIZE_MAX = 16384;
int boundedWindowSize(int size);

// Decides on which draw the viewport and projection are set up. They are due
// whenever the context is being set up; a window without area postpones them
// until a draw where it has one, even if the context is valid by then.
class ProjectionSchedule {
public:
    // contextSetUp: this draw sets up the context. Returns true when the
    // viewport and projection are to be set up now (and marks them done).
    bool due(bool contextSetUp, int W, int H);
    bool pending() const { return pending_; }

private:
    bool pending_ = false;
};

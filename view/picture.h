// What the window and the page share about their picture: its size at
// start-up and the period of the frame timer.
#pragma once

// The picture's size at start-up, in pixels: the window's first size, and
// the page's canvas in CSS pixels.
constexpr int WINDOW_WIDTH = 800;
constexpr int WINDOW_HEIGHT = 600;

// Frame timer period in seconds.
constexpr float FRAME_PERIOD = 0.025f;

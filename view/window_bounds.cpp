#include "window_bounds.h"

#include "camera.h"

int boundedWindowSize(int size) { return size > WINDOW_SIZE_MAX ? WINDOW_SIZE_MAX : size; }

bool ProjectionSchedule::due(bool contextSetUp, int W, int H) {
    if (contextSetUp) pending_ = true;
    if (!pending_ || !hasArea(W, H)) return false;
    pending_ = false;
    return true;
}

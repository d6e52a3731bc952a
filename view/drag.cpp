#include "drag.h"

void CameraDrag::press(int button, int x, int y, const CameraState& camera) {
    dragMode = button;
    pressX = mouseX = x;
    pressY = mouseY = y;
    pressCamera = camera;
}

void CameraDrag::move(int x, int y) {
    mouseX = x;
    mouseY = y;
}

void CameraDrag::release() { dragMode = DRAG_NONE; }

CameraState CameraDrag::update(const CameraState& current, int W, int H) const {
    if (!active()) return current;
    return dragCamera(pressCamera, current, dragMode, pressX - mouseX, pressY - mouseY, W, H);
}

// A mouse drag of the camera, as the window and the page keep it: the button
// and the pointer at the press, the camera at the press, the latest pointer
// position. The camera follows on the frame timer's tick, always computed from
// the camera at the press (never step by step), and stops at the release.
#pragma once

#include "camera.h"

struct CameraDrag {
    int dragMode = DRAG_NONE;  // button of the drag in progress, DRAG_NONE when idle
    int mouseX = 0, mouseY = 0;  // latest pointer position seen during the drag
    int pressX = 0, pressY = 0;  // pointer position at the press that started it
    CameraState pressCamera = DEFAULT_CAMERA;  // the camera at that press

    // Button `button` pressed at (x, y) while the camera is `camera`: a new drag
    // from there, also while another is in progress.
    void press(int button, int x, int y, const CameraState& camera);
    // The pointer seen at (x, y); the camera does not move until update.
    void move(int x, int y);
    void release();
    bool active() const { return dragMode != DRAG_NONE; }
    // The frame timer's part: the camera that the drag in progress gives in a
    // W x H picture (dragCamera, from the camera at the press); `current`
    // unchanged while no drag is in progress.
    CameraState update(const CameraState& current, int W, int H) const;
};

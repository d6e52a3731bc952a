// The window's camera after each of a sequence of drags, for the page's test
// of pictures at many views (views_test.mjs): the window's own drag
// arithmetic, on its 800 x 600 window, from the start-up camera.
//
// Reads one drag a line, "BUTTON PRESS_X PRESS_Y RELEASE_X RELEASE_Y" (button
// 1 left, 2 middle, 3 right; window pixels), each released after the frame
// timer has seen its last position; prints the camera after each as the bit
// patterns of its five floats in hexadecimal (elevation, azimuth, distance,
// targetX, targetY), so that the page's floats are compared exactly.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "drag.h"
#include "picture.h"

namespace {

std::uint32_t bits(float value) {
    static_assert(sizeof(float) == sizeof(std::uint32_t), "a float is printed as its 32 bits");
    std::uint32_t pattern;
    std::memcpy(&pattern, &value, sizeof pattern);
    return pattern;
}

}  // namespace

int main() {
    CameraState camera = DEFAULT_CAMERA;
    int button, pressX, pressY, releaseX, releaseY;
    int read;
    while ((read = std::scanf("%d %d %d %d %d", &button, &pressX, &pressY, &releaseX, &releaseY)) == 5) {
        if (button < DRAG_ORBIT || button > DRAG_PAN) {
            std::fprintf(stderr, "drag_cameras: no button %d\n", button);
            return 2;
        }
        // As the window takes a drag: the press, the last position, one tick
        // (which the test makes sure of), the release.
        CameraDrag drag;
        drag.press(button, pressX, pressY, camera);
        drag.move(releaseX, releaseY);
        camera = drag.update(camera, WINDOW_WIDTH, WINDOW_HEIGHT);
        drag.release();
        std::printf("%08" PRIx32 " %08" PRIx32 " %08" PRIx32 " %08" PRIx32 " %08" PRIx32 "\n", bits(camera.elevation),
                    bits(camera.azimuth), bits(camera.distance), bits(camera.targetX), bits(camera.targetY));
    }
    if (read != EOF) {
        std::fprintf(stderr, "drag_cameras: a line is not five whole numbers\n");
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

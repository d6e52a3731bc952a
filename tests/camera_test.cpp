// Camera arithmetic of the viewer, without a display.
#include <gtest/gtest.h>

#include <cmath>

#include "camera.h"
#include "drag.h"
#include "window_bounds.h"

namespace {

constexpr int W = 800;
constexpr int H = 600;

CameraState drag(const CameraState& press, int mode, int dX, int dY, int width = W, int height = H) {
    return dragCamera(press, press, mode, dX, dY, width, height);
}

void expectSame(const CameraState& a, const CameraState& b) {
    EXPECT_EQ(a.elevation, b.elevation);
    EXPECT_EQ(a.azimuth, b.azimuth);
    EXPECT_EQ(a.distance, b.distance);
    EXPECT_EQ(a.targetX, b.targetX);
    EXPECT_EQ(a.targetY, b.targetY);
}

const CameraState SOMEWHERE = {30.0f, 200.0f, 40.0f, 5.0f, -3.0f};

}  // namespace

TEST(CameraOrbit, AzimuthWrapsIntoZeroTo360) {
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, W, 0).azimuth, 0.0f);         // 360 -> 0
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, -W / 2, 0).azimuth, 180.0f);  // -180 -> 180
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, W / 4, 0).azimuth, 90.0f);
    CameraState press = DEFAULT_CAMERA;
    press.azimuth = 300.0f;
    EXPECT_EQ(drag(press, DRAG_ORBIT, W / 4, 0).azimuth, 30.0f);        // 390 -> 30
    EXPECT_EQ(drag(press, DRAG_ORBIT, 3 * W, 0).azimuth, 300.0f);       // three full turns
    EXPECT_EQ(drag(press, DRAG_ORBIT, -W, 0).azimuth, 300.0f);          // -60 -> 300
}

TEST(CameraOrbit, SumIsFormedInDoubleBeforeTheWrap) {
    // 360 / 800 is stored as the float 0.449999988. Dragging one pixel back
    // from there gives -0.45 + 0.449999988 = -1.2e-8 in double, which the wrap
    // raises to 359.99999999 and the store rounds to 360. Float arithmetic
    // throughout would have given exactly 0.
    const CameraState first = drag(DEFAULT_CAMERA, DRAG_ORBIT, 1, 0);
    EXPECT_EQ(first.azimuth, 0.45f);
    EXPECT_EQ(drag(first, DRAG_ORBIT, -1, 0).azimuth, 360.0f);
}

TEST(CameraOrbit, ElevationFollowsHeightAndIsClamped) {
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, 0, H / 3).elevation, 30.0f);
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, 0, H).elevation, 89.0f);       // 90 stops at 89
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, 0, -H / 15).elevation, -5.0f);  // -6 stops at -5
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, 0, -33).elevation, -4.95f);     // inside: kept
    // Orbit moves the angles only.
    const CameraState c = drag(SOMEWHERE, DRAG_ORBIT, 37, -11);
    EXPECT_EQ(c.distance, SOMEWHERE.distance);
    EXPECT_EQ(c.targetX, SOMEWHERE.targetX);
    EXPECT_EQ(c.targetY, SOMEWHERE.targetY);
}

TEST(CameraZoom, DistanceScalesWithHeightAndStopsAtOne) {
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ZOOM, 0, -H).distance, 150.0f);  // pointer down one height
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ZOOM, 0, H).distance, 50.0f);
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ZOOM, 0, 3 * H).distance, 1.0f);  // would be -50
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ZOOM, 0, 2 * H - 6).distance, 1.0f);  // would be 0.5
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ZOOM, W, 0).distance, 100.0f);    // sideways does nothing
    // t = (0.5 x 33.3) x -691 needs more than a float's digits: rounded, it
    // gives 52.4752464; kept in double, 52.4752502.
    CameraState press = DEFAULT_CAMERA;
    press.distance = 33.3f;
    EXPECT_EQ(drag(press, DRAG_ZOOM, 0, -691).distance, 52.4752464f);
}

TEST(CameraZoom, RunawayZoomingStaysFiniteAndComesBack) {
    // Each drag goes the whole window height down, starting from the camera
    // the previous one left: x1.5 a drag until the bound, never infinite.
    CameraState camera = DEFAULT_CAMERA;
    for (int n = 0; n < 300; ++n) camera = drag(camera, DRAG_ZOOM, 0, -H);
    EXPECT_EQ(camera.distance, DISTANCE_MAX);
    // The largest pointer motion a 16-bit X coordinate allows, in a flat window.
    EXPECT_EQ(drag(camera, DRAG_ZOOM, 0, -65535, W, 1).distance, DISTANCE_MAX);
    // Zooming in again works from the bound: one height up halves it.
    EXPECT_EQ(drag(camera, DRAG_ZOOM, 0, H).distance, DISTANCE_MAX / 2);
    // Below the bound nothing changed: 100 x 1.5^n for the first drags.
    EXPECT_EQ(drag(drag(DEFAULT_CAMERA, DRAG_ZOOM, 0, -H), DRAG_ZOOM, 0, -H).distance, 225.0f);
}

TEST(CameraZoom, NotchesAreEvenAndANotchOutUndoesANotchIn) {
    CameraState camera = DEFAULT_CAMERA;
    camera = zoomCamera(camera, notchZoomFactor(1));
    EXPECT_EQ(camera.distance, 90.0f);
    camera = zoomCamera(camera, notchZoomFactor(-1));
    EXPECT_EQ(camera.distance, 100.0f);
    // Out then in returns to within a float's rounding from anywhere inside
    // the bounds, and every notch is the same factor.
    for (float d : {1.5f, 33.3f, 777.7f, 5000.0f}) {
        SCOPED_TRACE(d);
        CameraState c = DEFAULT_CAMERA;
        c.distance = d;
        const float out = zoomCamera(c, notchZoomFactor(-1)).distance;
        EXPECT_EQ(out, static_cast<float>(static_cast<double>(d) / 0.9));
        c.distance = out;
        EXPECT_NEAR(zoomCamera(c, notchZoomFactor(1)).distance, d, d * 1e-7);
    }
    // Two half notches make one (to a float's rounding), as a trackpad's
    // small steps add up to a wheel's notch.
    CameraState halves = DEFAULT_CAMERA;
    for (int i = 0; i < 2; ++i) halves = zoomCamera(halves, notchZoomFactor(0.5));
    EXPECT_NEAR(halves.distance, 90.0f, 1e-4);
    // Zoom moves the distance only.
    const CameraState moved = zoomCamera(SOMEWHERE, 0.75);
    EXPECT_EQ(moved.distance, 30.0f);
    EXPECT_EQ(moved.elevation, SOMEWHERE.elevation);
    EXPECT_EQ(moved.azimuth, SOMEWHERE.azimuth);
    EXPECT_EQ(moved.targetX, SOMEWHERE.targetX);
    EXPECT_EQ(moved.targetY, SOMEWHERE.targetY);
}

TEST(CameraZoom, OneEventZoomsAtMostThreeNotchesWithinTheDistanceBounds) {
    const double three = 0.9 * 0.9 * 0.9;
    EXPECT_EQ(zoomCamera(DEFAULT_CAMERA, 1e-9).distance, static_cast<float>(100.0 * three));
    EXPECT_EQ(zoomCamera(DEFAULT_CAMERA, 1e9).distance, static_cast<float>(100.0 / three));
    EXPECT_EQ(zoomCamera(DEFAULT_CAMERA, notchZoomFactor(-50)).distance, static_cast<float>(100.0 / three));
    CameraState camera = DEFAULT_CAMERA;
    for (int n = 0; n < 100; ++n) camera = zoomCamera(camera, notchZoomFactor(3));
    EXPECT_EQ(camera.distance, DISTANCE_MIN);
    for (int n = 0; n < 100; ++n) camera = zoomCamera(camera, notchZoomFactor(-3));
    EXPECT_EQ(camera.distance, DISTANCE_MAX);
    // A factor that is not a positive number changes nothing.
    for (double bad : {0.0, -2.0, std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        SCOPED_TRACE(bad);
        expectSame(zoomCamera(SOMEWHERE, bad), SOMEWHERE);
    }
}

TEST(WindowSize, SizesAboveTheBoundAreClamped) {
    EXPECT_EQ(boundedWindowSize(800), 800);
    EXPECT_EQ(boundedWindowSize(WINDOW_SIZE_MAX), WINDOW_SIZE_MAX);
    EXPECT_EQ(boundedWindowSize(32767), WINDOW_SIZE_MAX);
    EXPECT_EQ(boundedWindowSize(65535), WINDOW_SIZE_MAX);
}

TEST(CameraPan, DirectionsFollowTheCurrentAzimuth) {
    CameraState up = drag(DEFAULT_CAMERA, DRAG_PAN, 0, H);  // pointer up one height
    EXPECT_EQ(up.targetX, 100.0f);
    EXPECT_EQ(up.targetY, 0.0f);
    CameraState right = drag(DEFAULT_CAMERA, DRAG_PAN, -W, 0);  // pointer right one width
    EXPECT_EQ(right.targetX, 0.0f);
    EXPECT_EQ(right.targetY, -100.0f);

    // The direction comes from the camera's azimuth now, the offset from the
    // target at the push.
    CameraState press = DEFAULT_CAMERA;
    press.targetX = 5.0f;
    press.targetY = -3.0f;
    CameraState current = press;
    current.azimuth = 90.0f;
    const CameraState turned = dragCamera(press, current, DRAG_PAN, 0, H, W, H);
    EXPECT_NEAR(turned.targetX, 5.0f, 1e-5);
    EXPECT_EQ(turned.targetY, 97.0f);
    EXPECT_EQ(turned.azimuth, 90.0f);
}

TEST(CameraPan, QuotientsAreRoundedToFloat) {
    // At azimuth 30, s = 0.5 and c = 0.866025388 as floats, and p1 / W and
    // p3 / W are inexact. Kept in double, q1 and q3 would give 41.0465851
    // and -90.7614288.
    CameraState current = DEFAULT_CAMERA;
    current.azimuth = 30.0f;
    const CameraState c = dragCamera(DEFAULT_CAMERA, current, DRAG_PAN, -793, -59, W, H);
    EXPECT_EQ(c.targetX, 41.0465813f);
    EXPECT_EQ(c.targetY, -90.7614365f);
}

TEST(CameraDrag, NoMotionAndMovingBackRestoreThePushCamera) {
    for (int mode : {DRAG_ORBIT, DRAG_ZOOM, DRAG_PAN}) {
        SCOPED_TRACE(mode);
        expectSame(drag(SOMEWHERE, mode, 0, 0), SOMEWHERE);
        // Each tick computes the camera from the one at the press, not from the last tick's.
        CameraDrag state;
        state.press(mode, 300, 200, SOMEWHERE);
        CameraState camera = state.update(SOMEWHERE, W, H);
        expectSame(camera, SOMEWHERE);
        state.move(163, 259);
        camera = state.update(camera, W, H);
        const CameraState once = camera;
        expectSame(once, dragCamera(SOMEWHERE, SOMEWHERE, mode, 137, -59, W, H));
        camera = state.update(camera, W, H);
        expectSame(camera, once);  // not incremental
        state.move(300, 200);
        camera = state.update(camera, W, H);
        expectSame(camera, SOMEWHERE);
    }
}

TEST(CameraDrag, ReleaseStopsTheCameraAndTheNextPressStartsFromIt) {
    CameraDrag state;
    EXPECT_FALSE(state.active());
    expectSame(state.update(SOMEWHERE, W, H), SOMEWHERE);  // idle: no drag of a default press

    state.press(DRAG_ORBIT, 400, 300, DEFAULT_CAMERA);
    state.move(200, 300);
    const CameraState turned = state.update(DEFAULT_CAMERA, W, H);
    EXPECT_EQ(turned.azimuth, 90.0f);
    state.release();
    EXPECT_FALSE(state.active());
    state.move(0, 0);  // a move after the release moves nothing
    expectSame(state.update(turned, W, H), turned);

    // A press while a drag is in progress starts over from the current camera.
    state.press(DRAG_ORBIT, 10, 10, turned);
    state.press(DRAG_ZOOM, 50, 60, turned);
    state.move(50, 360);
    const CameraState zoomed = state.update(turned, W, H);
    EXPECT_EQ(zoomed.azimuth, 90.0f);
    EXPECT_EQ(zoomed.distance, 125.0f);  // 100 - 0.5 x 100 x (60 - 360) / 600
}

TEST(CameraDrag, OtherButtonsChangeNothing) {
    expectSame(drag(SOMEWHERE, 4, 100, 100), SOMEWHERE);
    expectSame(drag(SOMEWHERE, DRAG_NONE, 100, 100), SOMEWHERE);
}

TEST(CameraDrag, WindowWithoutAreaLeavesTheCameraAloneUntilItHasOne) {
    for (int mode : {DRAG_ORBIT, DRAG_ZOOM, DRAG_PAN}) {
        SCOPED_TRACE(mode);
        for (int dX : {0, 25}) {
            expectSame(drag(SOMEWHERE, mode, dX, dX, 0, H), SOMEWHERE);
            expectSame(drag(SOMEWHERE, mode, dX, dX, W, 0), SOMEWHERE);
            expectSame(drag(SOMEWHERE, mode, dX, dX, 0, 0), SOMEWHERE);
        }
    }
    // Once the size is back the same drag is applied as usual.
    EXPECT_EQ(drag(DEFAULT_CAMERA, DRAG_ORBIT, -W / 2, 0).azimuth, 180.0f);
}

TEST(CameraProjection, HorizontalFieldOfViewIs45DegreesForEveryShape) {
    const double pi = std::acos(-1.0);
    const int shapes[][2] = {{800, 600}, {600, 800}, {1, 1}, {1920, 200}, {37, 1000}};
    for (const auto& s : shapes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1]);
        const double fovy = verticalFieldOfView(s[0], s[1]);
        const double halfX = std::atan(std::tan(fovy * pi / 360.0) * aspectRatio(s[0], s[1]));
        EXPECT_NEAR(halfX * 360.0 / pi, 45.0, 1e-9);
    }
    EXPECT_NEAR(verticalFieldOfView(500, 500), 45.0, 1e-12);
    EXPECT_EQ(aspectRatio(800, 600), 4.0 / 3.0);
}

TEST(CameraProjection, SetUpWaitsForAWindowWithArea) {
    ProjectionSchedule schedule;
    EXPECT_TRUE(schedule.due(true, 800, 600));  // first draw
    EXPECT_FALSE(schedule.due(false, 800, 600));
    EXPECT_FALSE(schedule.due(true, 800, 0));   // collapsed while the context is set up
    EXPECT_TRUE(schedule.pending());
    EXPECT_FALSE(schedule.due(false, 0, 600));  // still without area, context now valid
    EXPECT_TRUE(schedule.due(false, 640, 480)); // area again: set up although valid
    EXPECT_FALSE(schedule.pending());
    EXPECT_FALSE(schedule.due(false, 640, 480));
    EXPECT_TRUE(schedule.due(true, 300, 200));  // a resize invalidates the context
    EXPECT_FALSE(hasArea(0, 600));
    EXPECT_FALSE(hasArea(800, 0));
    EXPECT_TRUE(hasArea(1, 1));
}

TEST(CameraEye, EyeOrbitsTheTargetAtItsDistance) {
    const EyePosition start = eyePosition(DEFAULT_CAMERA);
    EXPECT_EQ(start.x, 100.0);
    EXPECT_EQ(start.y, 0.0);
    EXPECT_EQ(start.z, 2.0);

    CameraState side = DEFAULT_CAMERA;
    side.azimuth = 90.0f;
    const EyePosition s = eyePosition(side);
    EXPECT_NEAR(s.x, 0.0, 1e-12);
    EXPECT_NEAR(s.y, 100.0, 1e-12);

    const EyePosition e = eyePosition(SOMEWHERE);  // elevation 30, azimuth 200, distance 40
    const double dx = e.x - SOMEWHERE.targetX, dy = e.y - SOMEWHERE.targetY, dz = e.z - 2.0;
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 40.0, 1e-9);
    EXPECT_NEAR(dz, 20.0, 1e-9);  // sin 30 x 40
    EXPECT_LT(dx, 0.0);           // azimuth 200: behind and to the -y side
    EXPECT_LT(dy, 0.0);
}

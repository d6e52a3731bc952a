// The orbiting camera: its state, the drag arithmetic, the projection and the
// eye position. Plain arithmetic only (no toolkit, no GL), so that the window
// and the tests share one implementation.
#pragma once

// The five floats that place the camera.
struct CameraState {
    float elevation;  // degrees above the horizontal plane through the target, -5 .. 89 after a drag
    float azimuth;    // degrees around the vertical axis through the target, 0 .. 360 after a drag
    float distance;   // from target to eye, 1 .. 10000 after a zoom drag
    float targetX;    // the point looked at, in world units
    float targetY;
};

constexpr CameraState DEFAULT_CAMERA = {0.0f, 0.0f, 100.0f, 0.0f, 0.0f};

// Mouse buttons that start a drag, as the toolkit numbers them.
constexpr int DRAG_NONE = -1;
constexpr int DRAG_ORBIT = 1;  // left
constexpr int DRAG_ZOOM = 2;   // middle
constexpr int DRAG_PAN = 3;    // right

// Drag factors and limits.
constexpr double ORBIT_AZIMUTH_PER_WIDTH = 360.0;  // degrees for a drag across the full width
constexpr double ORBIT_ELEVATION_PER_HEIGHT = 90.0;
constexpr float ELEVATION_MAX = 89.0f;
constexpr float ELEVATION_MIN = -5.0f;
constexpr double ZOOM_FACTOR = 0.5;  // fraction of the distance per window height
constexpr float DISTANCE_MIN = 1.0f;
// Zooming out stops here, so that the distance never overflows to infinity
// (and then to NaN on the next zoom in). From ten times the far plane's
// distance nothing is in view unless the target has been panned thousands of
// units away from the lattice.
constexpr float DISTANCE_MAX = 10000.0f;
constexpr double PAN_PER_SIZE = 100.0;  // world units for a drag across the full width or height

// Height of the look-at point and of the eye above the target plane.
constexpr double EYE_HEIGHT = 2.0;

// Horizontal field of view in degrees, kept whatever the window's shape.
constexpr double HORIZONTAL_FOV = 45.0;
constexpr double NEAR_PLANE = 1.0;
constexpr double FAR_PLANE = 1000.0;

// True when a window of W x H pixels has an area. The drag and the projection
// divide by both sizes, so they are skipped while either is 0.
bool hasArea(int W, int H);

// The camera that a drag with button `dragMode` gives, where dX = pressX - mouseX
// and dY = pressY - mouseY. Orbit and zoom are computed from `press` (the camera
// at the push); pan takes the direction from the current azimuth. Fields that the
// drag does not move keep their value from `current`. An unknown button, or a
// window without area, gives `current` unchanged.
CameraState dragCamera(const CameraState& press, const CameraState& current, int dragMode, int dX, int dY,
                       int W, int H);

// Zooming by a factor: the wheel, a trackpad's pinch, the keys and the zoom
// buttons of the page. One notch of a wheel brings the camera closer by a
// tenth of the distance; a notch out is its inverse, so that a notch in and
// one out return the distance where it was (up to a float's rounding at the
// store). One event zooms at most as far as ZOOM_NOTCHES_MAX notches.
constexpr double NOTCH_ZOOM = 0.9;  // the distance's factor for one notch closer
constexpr double ZOOM_NOTCHES_MAX = 3.0;

// The distance's factor for `notches` notches (positive closer, negative
// farther, fractions for a part of a notch): NOTCH_ZOOM to that power.
double notchZoomFactor(double notches);

// `current` with its distance times `factor` (below 1 closer), the factor
// bounded to that of ZOOM_NOTCHES_MAX notches either way and the distance to
// DISTANCE_MIN .. DISTANCE_MAX, as a zoom drag bounds it. A factor that is not
// a positive number leaves the camera as it is.
CameraState zoomCamera(const CameraState& current, double factor);

// Vertical field of view (degrees) that gives the horizontal field of view
// HORIZONTAL_FOV for a W x H window.
double verticalFieldOfView(int W, int H);
// W / H in double precision.
double aspectRatio(int W, int H);

struct EyePosition {
    double x, y, z;
};
EyePosition eyePosition(const CameraState& camera);

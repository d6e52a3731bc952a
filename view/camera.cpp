#include "camera.h"

#include <algorithm>
#include <cmath>

// Camera values are floats; every formula below is evaluated in double and
// rounded to float where it is stored into a camera field or into one of the
// named intermediates (t, t2, s, c, p1..p4, q1, q3).

namespace {

constexpr double PI = 3.14159265358979323846;

double radians(float degrees) { return static_cast<double>(degrees) * PI / 180.0; }

float toFloat(double value) { return static_cast<float>(value); }

void orbit(const CameraState& press, CameraState& camera, int dX, int dY, int W, int H) {
    const float t = toFloat(static_cast<double>(dX) * ORBIT_AZIMUTH_PER_WIDTH);
    camera.azimuth = toFloat(static_cast<double>(t) / W + static_cast<double>(press.azimuth));
    while (camera.azimuth >= 360.0f) camera.azimuth = toFloat(static_cast<double>(camera.azimuth) - 360.0);
    while (camera.azimuth < 0.0f) camera.azimuth = toFloat(static_cast<double>(camera.azimuth) + 360.0);

    const float t2 = toFloat(static_cast<double>(dY) * ORBIT_ELEVATION_PER_HEIGHT);
    camera.elevation = toFloat(static_cast<double>(t2) / H + static_cast<double>(press.elevation));
    if (camera.elevation > ELEVATION_MAX) camera.elevation = ELEVATION_MAX;
    if (camera.elevation < ELEVATION_MIN) camera.elevation = ELEVATION_MIN;
}

void zoom(const CameraState& press, CameraState& camera, int dY, int H) {
    const double pressDistance = static_cast<double>(press.distance);
    const float t = toFloat((ZOOM_FACTOR * pressDistance) * dY);
    camera.distance = toFloat(pressDistance - static_cast<double>(t) / H);
    if (camera.distance < DISTANCE_MIN) camera.distance = DISTANCE_MIN;
    if (camera.distance > DISTANCE_MAX) camera.distance = DISTANCE_MAX;
}

void pan(const CameraState& press, CameraState& camera, int dX, int dY, int W, int H) {
    const double a = radians(camera.azimuth);
    const float s = toFloat(std::sin(a));
    const float c = toFloat(std::cos(a));

    const float p1 = toFloat(dX * -static_cast<double>(s));
    const float q1 = toFloat(static_cast<double>(p1) / W);
    const float p2 = toFloat(dY * static_cast<double>(c));
    camera.targetX = toFloat((static_cast<double>(p2) / H + static_cast<double>(q1)) * PAN_PER_SIZE +
                             static_cast<double>(press.targetX));

    const float p3 = toFloat(dX * static_cast<double>(c));
    const float q3 = toFloat(static_cast<double>(p3) / W);
    const float p4 = toFloat(dY * static_cast<double>(s));
    camera.targetY = toFloat((static_cast<double>(p4) / H + static_cast<double>(q3)) * PAN_PER_SIZE +
                             static_cast<double>(press.targetY));
}

}  // namespace

bool hasArea(int W, int H) { return W > 0 && H > 0; }


CameraState dragCamera(const CameraState& press, const CameraState& current, int dragMode, int dX, int dY,
                       int W, int H) {
    CameraState camera = current;
    if (!hasArea(W, H)) return camera;
    switch (dragMode) {
        case DRAG_ORBIT: orbit(press, camera, dX, dY, W, H); break;
        case DRAG_ZOOM: zoom(press, camera, dY, H); break;
        case DRAG_PAN: pan(press, camera, dX, dY, W, H); break;
        default: break;
    }
    return camera;
}

double notchZoomFactor(double notches) { return std::pow(NOTCH_ZOOM, notches); }

CameraState zoomCamera(const CameraState& current, double factor) {
    CameraState camera = current;
    if (!(factor > 0.0) || !std::isfinite(factor)) return camera;
    const double closest = std::pow(NOTCH_ZOOM, ZOOM_NOTCHES_MAX);
    const double bounded = std::min(std::max(factor, closest), 1.0 / closest);
    camera.distance = toFloat(static_cast<double>(current.distance) * bounded);
    if (camera.distance < DISTANCE_MIN) camera.distance = DISTANCE_MIN;
    if (camera.distance > DISTANCE_MAX) camera.distance = DISTANCE_MAX;
    return camera;
}

double verticalFieldOfView(int W, int H) {
    // 114.59155902616465 = 360 / pi: twice the half-angle, back in degrees.
    return std::atan(std::tan(HORIZONTAL_FOV * PI / 360.0) * H / W) * 114.59155902616465;
}

double aspectRatio(int W, int H) { return static_cast<double>(static_cast<float>(W)) / H; }

EyePosition eyePosition(const CameraState& camera) {
    const double e = radians(camera.elevation);
    const double a = radians(camera.azimuth);
    const double d = static_cast<double>(camera.distance);
    return {std::cos(e) * (std::cos(a) * d) + static_cast<double>(camera.targetX),
            std::cos(e) * (std::sin(a) * d) + static_cast<double>(camera.targetY),
            std::sin(e) * d + EYE_HEIGHT};
}

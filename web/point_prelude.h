// The page's preludes to the shader bodies of point_shader.h (GLSL ES 1.00,
// WebGL 1). The script sets the attribute lvPosition (a point of
// point_list.h: the page's lattice has one layer, so x is 0 and the position
// is the point's place in layer 0) and the uniforms
//   lvModelViewProjection (mat4)  projection x view x layer 0's transformation
//   lvNormalTransform (mat3)      the normal matrix of view x that transformation
//   lvEyeLightDirection (vec3)    light 0's direction as the view transforms it
//   lvViewportSize (vec2)         the picture's size in CSS pixels (800 x 600)
//   lvDevicePixelRatio (float)    device pixels per CSS pixel
//
// Points land on the pixels that the window's OpenGL (Mesa) covers. WebGL
// draws a point as a square centred on the exact window position of its
// vertex; Mesa snaps that position to 1/256 of a pixel and puts a point of
// odd size on the centre of the pixel holding it, one of even size on the
// nearest pixel corner. The prelude does the same in CSS pixels, so that on a
// high-density screen a point covers the device pixels of the CSS pixels it
// covers at a ratio of 1 (its size is scaled by the ratio). Depth is kept.
//
// Desktop OpenGL clips a point by its vertex alone: a point whose centre lies
// outside the view (clip x or y beyond w, or below -w; a centre exactly on
// an edge is inside) is not drawn at all, even where its square would reach
// into the picture. Some WebGL implementations (ANGLE) draw the part inside;
// the prelude moves such a point beyond the far plane instead, so that no
// browser draws it.
#pragma once

constexpr char PAGE_POSITION_ATTRIBUTE[] = "lvPosition";

constexpr char PAGE_VERTEX_PRELUDE[] = R"glsl(precision highp float;
attribute vec3 lvPosition;
uniform mat4 lvModelViewProjection;
uniform mat3 lvNormalTransform;
uniform vec3 lvEyeLightDirection;
uniform vec2 lvViewportSize;
uniform float lvDevicePixelRatio;

vec4 lvClipPosition(float pointSize) {
    vec4 clip = lvModelViewProjection * vec4(lvPosition, 1.0);
    if (clip.w <= 0.0) return clip;  // behind the eye: clipped anyway
    if (clip.x > clip.w || clip.x + clip.w < 0.0 || clip.y > clip.w || clip.y + clip.w < 0.0)
        return vec4(0.0, 0.0, 2.0, 1.0);
    vec2 half_ = lvViewportSize * 0.5;
    vec2 window = clip.xy / clip.w * half_ + half_;
    window = floor(window * 256.0 + 0.5) / 256.0;
    float side = floor(pointSize / lvDevicePixelRatio + 0.5);
    vec2 centre = mod(side, 2.0) == 1.0 ? floor(window) + 0.5 : floor(window + 0.5);
    clip.xy = (centre - half_) / half_ * clip.w;
    return clip;
}
mat3 lvNormalMatrix() { return lvNormalTransform; }
vec3 lvLightDirection() { return lvEyeLightDirection; }
float lvPointSizeScale() { return lvDevicePixelRatio; }
)glsl";

constexpr char PAGE_FRAGMENT_PRELUDE[] = "precision mediump float;\n";

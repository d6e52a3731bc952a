// The shaders that draw the lattice's points (point_list.h) in one draw call,
// for every host: the window (OpenGL 2.0 or later, GLSL 1.10) and the browser
// page (WebGL 1, GLSL ES 1.00). The bodies below are written in what the two
// languages share; each host compiles
//
//     its vertex prelude   + POINT_VERTEX_SHADER_BODY
//     its fragment prelude + POINT_FRAGMENT_SHADER_BODY
//
// and feeds one point of the list per vertex, in the list's order. No GL here.
//
// The vertex shader computes the lighting of this scene's fixed-function
// state: colour material for ambient and diffuse (the point's colour is both),
// global ambient 0.2, light 0 directional and fixed in the world, diffuse 1,
// light ambient 0, no specular, no emission; the normal is the default
// (0, 0, 1) taken through the normal matrix and normalised. Per channel
//     lit = clamp(colour * 0.2 + colour * max(N . L, 0), 0, 1)
// with N the normal in eye space and L the unit vector toward the light in
// eye space. Alpha is 1.
//
// What a vertex prelude must provide, before the body:
//   - the version line (GLSL 1.10) or precision statement (GLSL ES 1.00) that
//     the language needs first;
//   - the point's position, as it pleases the host (the window takes it
//     through gl_Vertex, the page through an attribute of its own);
//   - vec4 lvClipPosition(float pointSize): the point's clip coordinates:
//     projection x camera x its layer's transformation (layerModelView)
//     applied to its place (0, u, v) in the layer, for a point (k, u, v) of
//     point_list.h in layer k. pointSize is the point's side in pixels, as
//     the body sets gl_PointSize. Where the GL rasterises a point as a square centred on the
//     exact window position (WebGL does), this must move the point so that it
//     covers the pixels desktop OpenGL covers: for an odd size, the square
//     centred on the centre of the pixel holding the vertex; for an even size,
//     the square centred on the pixel corner nearest the vertex;
//   - mat3 lvNormalMatrix(): the normal matrix of the lattice's modelview
//     (inverse transpose of the upper 3 x 3 of camera x the lattice's
//     transformation, the same for every layer);
//   - vec3 lvLightDirection(): the direction toward light 0 in eye space, that
//     is the camera's rotation applied to (1, 1, 1); need not be unit length;
//   - float lvPointSizeScale(): device pixels per pixel of the picture (1 on
//     the desktop; the page's device pixel ratio on a high-density screen).
// The body declares the attributes lvColor (vec3, colour before lighting) and
// lvPointSize (float, the point's size before the scale) and the varying
// lvLitColor (vec3).
//
// What a fragment prelude must provide: the version line (GLSL 1.10) or a
// default float precision (GLSL ES 1.00).
#pragma once

constexpr char POINT_VERTEX_SHADER_BODY[] = R"glsl(
attribute vec3 lvColor;
attribute float lvPointSize;
varying vec3 lvLitColor;

const float LV_GLOBAL_AMBIENT = 0.2;
const float LV_LIGHT_DIFFUSE = 1.0;
const vec3 LV_NORMAL = vec3(0.0, 0.0, 1.0);

void main() {
    float size = lvPointSize * lvPointSizeScale();
    gl_PointSize = size;
    gl_Position = lvClipPosition(size);
    vec3 normal = normalize(lvNormalMatrix() * LV_NORMAL);
    vec3 light = normalize(lvLightDirection());
    float diffuse = max(dot(normal, light), 0.0) * LV_LIGHT_DIFFUSE;
    lvLitColor = clamp(lvColor * LV_GLOBAL_AMBIENT + lvColor * diffuse, 0.0, 1.0);
}
)glsl";

constexpr char POINT_FRAGMENT_SHADER_BODY[] = R"glsl(
varying vec3 lvLitColor;

void main() {
    gl_FragColor = vec4(lvLitColor, 1.0);
}
)glsl";

// The names of the body's attributes, for glGetAttribLocation.
constexpr char POINT_COLOR_ATTRIBUTE[] = "lvColor";
constexpr char POINT_SIZE_ATTRIBUTE[] = "lvPointSize";

// The window's preludes live with its drawing code (scene.cpp), the page's
// with the page (web/point_prelude.h).

// The window's picture as plain OpenGL and GLU calls, without the toolkit: the
// window draws with these, and so does the off-screen frame benchmark, so that
// both run the very same calls. Each needs a current GL context.
#pragma once

#include "camera.h"

class Lattice;

// Fixed-function state of a new context: black clear colour, depth test with
// GL_LESS, face culling, light 0 and lighting, colour material, normalisation.
void setUpSceneState();

// Viewport and perspective projection of a W x H drawable, with a horizontal
// field of view of HORIZONTAL_FOV degrees. W and H must both be positive.
void setUpSceneProjection(int W, int H);

// Light 0: white diffuse, no specular.
void setUpSceneLight();

// One picture: clears colour and depth, places the camera, fixes light 0's
// direction in the world, and draws the lattice.
void drawScene(const CameraState& camera, const Lattice& lattice);

#include "scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "lattice.h"

void setUpSceneState() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
}

void setUpSceneProjection(int W, int H) {
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(verticalFieldOfView(W, H), aspectRatio(W, H), NEAR_PLANE, FAR_PLANE);
}

void setUpSceneLight() {
    const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 1.0f};
    const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
}

void drawScene(const CameraState& camera, const Lattice& lattice) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const EyePosition eye = eyePosition(camera);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, static_cast<double>(camera.targetX), static_cast<double>(camera.targetY),
              EYE_HEIGHT, 0.0, 0.0, 1.0);

    // Given after the view transform, so the light is fixed in the world.
    const GLfloat lightDirection[] = {1.0f, 1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);

    lattice.draw();
}

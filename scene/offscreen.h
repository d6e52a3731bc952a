// The window's picture without an X server: an off-screen Mesa context of a
// given size, current and set up as the window's first draw sets up its own,
// drawing into a colour buffer of its own. For the frame benchmark and the
// tests of the pictures.
#pragma once

#include <GL/osmesa.h>

#include <GL/gl.h>

#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "scene.h"

class Lattice;

class OffscreenScene {
public:
    // Creates a context of WIDTH x HEIGHT pixels (RGBA, a 24-bit depth
    // buffer), makes it current and sets up the scene in it. Null, with the
    // reason in `reason`, where Mesa cannot, or where memory for the colour
    // buffer cannot be had.
    static std::unique_ptr<OffscreenScene> create(int width, int height, std::string& reason);
    ~OffscreenScene();  // destroys the context
    OffscreenScene(const OffscreenScene&) = delete;
    OffscreenScene& operator=(const OffscreenScene&) = delete;

    ScenePainter& painter() { return painter_; }

    // One picture into the colour buffer, complete on return (glFinish).
    void draw(const Lattice& lattice, const CameraState& camera = DEFAULT_CAMERA);

    // The colour buffer: RGBA, 8 bits a channel, the bottom row first.
    const std::vector<GLubyte>& picture() const { return picture_; }

    // Pixels of the colour buffer that are not black: shows that the GL
    // calls, GLU's included, reached this context.
    long litPixels() const;

private:
    OffscreenScene(int width, int height);

    std::vector<GLubyte> picture_;
    OSMesaContext context_ = nullptr;
    ScenePainter painter_;
};

#include "offscreen.h"

#include <cstddef>
#include <cstdio>

OffscreenScene::OffscreenScene(int width, int height)
    : picture_(width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) * 4 : 0) {}

OffscreenScene::~OffscreenScene() {
    if (context_ != nullptr) OSMesaDestroyContext(context_);
}

std::unique_ptr<OffscreenScene> OffscreenScene::create(int width, int height) {
    std::unique_ptr<OffscreenScene> scene(new OffscreenScene(width, height));
    scene->context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (scene->context_ == nullptr) {
        std::fprintf(stderr, "cannot create an off-screen Mesa context\n");
        return nullptr;
    }
    if (scene->picture_.empty() ||
        !OSMesaMakeCurrent(scene->context_, scene->picture_.data(), GL_UNSIGNED_BYTE, width, height)) {
        std::fprintf(stderr, "cannot make the off-screen Mesa context current\n");
        return nullptr;
    }
    // As the window's first draw sets up its context.
    setUpSceneState();
    scene->painter_.setUpContext();
    setUpSceneProjection(width, height);
    setUpSceneLight();
    return scene;
}

void OffscreenScene::draw(const Lattice& lattice, const CameraState& camera) {
    painter_.draw(camera, lattice);
    glFinish();
}

long OffscreenScene::litPixels() const {
    long lit = 0;
    for (size_t i = 0; i < picture_.size(); i += 4)
        if (picture_[i] != 0 || picture_[i + 1] != 0 || picture_[i + 2] != 0) ++lit;
    return lit;
}

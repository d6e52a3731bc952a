#include "offscreen.h"

#include <cstddef>
#include <new>

OffscreenScene::OffscreenScene(int width, int height)
    : picture_(width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) * 4 : 0) {}

OffscreenScene::~OffscreenScene() {
    if (context_ != nullptr) OSMesaDestroyContext(context_);
}

std::unique_ptr<OffscreenScene> OffscreenScene::create(int width, int height, std::string& reason) {
    std::unique_ptr<OffscreenScene> scene;
    try {
        scene.reset(new OffscreenScene(width, height));
    } catch (const std::bad_alloc&) {
        reason = "not enough memory for a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels";
        return nullptr;
    }
    scene->context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (scene->context_ == nullptr) {
        reason = "cannot create an off-screen Mesa context";
        return nullptr;
    }
    if (scene->picture_.empty() ||
        !OSMesaMakeCurrent(scene->context_, scene->picture_.data(), GL_UNSIGNED_BYTE, width, height)) {
        reason = "cannot make the off-screen Mesa context current for " + std::to_string(width) + " x " +
                 std::to_string(height) + " pixels";
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

#include "frames.h"

#include <cstddef>
#include <cstdio>
#include <utility>

#include "lattice.h"
#include "offscreen.h"
#include "png_picture.h"
#include "quote.h"

std::string frameFileName(long step) {
    char name[64];
    std::snprintf(name, sizeof name, "frame_%06ld.png", step);
    return name;
}

FrameSeries::FrameSeries(std::string directory, int width, int height, const CameraState& camera)
    : directory_(std::move(directory), "the pictures"), width_(width), height_(height), camera_(camera) {}

FrameSeries::~FrameSeries() = default;

bool FrameSeries::failedWith(std::string error) {
    errors_.push_back(std::move(error));
    return false;
}

bool FrameSeries::directoryFailed() {
    const std::vector<std::string>& all = directory_.errors();
    errors_.insert(errors_.end(), all.begin() + static_cast<std::ptrdiff_t>(directoryErrors_), all.end());
    directoryErrors_ = all.size();
    return false;
}

bool FrameSeries::open() {
    if (!directory_.open()) return directoryFailed();
    std::string reason;
    scene_ = OffscreenScene::create(width_, height_, reason);
    if (!scene_) return failedWith("cannot draw the pictures: " + reason);
    return true;
}

bool FrameSeries::write(const Lattice& lattice, long step) {
    const std::string name = frameFileName(step);
    scene_->draw(lattice, camera_);
    std::string reason;
    if (!encodePng(scene_->picture().data(), width_, height_, file_, reason))
        return failedWith("cannot encode " + quotedText(directory_.path(name)) + ": " + reason);
    return directory_.writeFile(name, file_.data(), file_.size()) || directoryFailed();
}

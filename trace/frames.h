// The window's picture of a run, drawn off screen after chosen steps and
// written into a directory as PNG files.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "camera.h"
#include "output_directory.h"

class Lattice;
class OffscreenScene;

// "frame_SSSSSS.png": the step number with at least six digits.
std::string frameFileName(long step);

// The frames of one run, each the picture that the window shows of the
// lattice at the camera given, in a window of the size given: drawn by the
// window's own scene code in Mesa's off-screen context, and written as
// OutputDirectory writes a file (under its final name only when complete).
class FrameSeries {
public:
    FrameSeries(std::string directory, int width, int height, const CameraState& camera);
    ~FrameSeries();
    FrameSeries(const FrameSeries&) = delete;
    FrameSeries& operator=(const FrameSeries&) = delete;

    // Opens the directory as OutputDirectory::open() does, and creates the
    // off-screen context. False when either fails; errors() says why.
    bool open();

    // Draws the lattice and writes its picture as the frame of `step`. False
    // on a failure, with no temporary file left behind; errors() names the
    // file and the reason.
    bool write(const Lattice& lattice, long step);

    // Every failure, in order, each naming the file or the picture and the
    // reason.
    const std::vector<std::string>& errors() const { return errors_; }

private:
    bool failedWith(std::string error);
    // Takes the directory's failures not taken yet; false.
    bool directoryFailed();

    OutputDirectory directory_;
    int width_;
    int height_;
    CameraState camera_;
    std::unique_ptr<OffscreenScene> scene_;
    std::vector<unsigned char> file_;
    std::vector<std::string> errors_;
    size_t directoryErrors_ = 0;  // the directory's failures taken into errors_
};

// A picture read back from GL, as the bytes of a PNG file.
#pragma once

#include <string>
#include <vector>

// Encodes the picture of WIDTH x HEIGHT pixels in `rgba` (4 bytes a pixel,
// red, green, blue and alpha, the bottom row first, as glReadPixels and
// Mesa's off-screen buffer hold it) into `file`: a PNG of 8-bit RGB, the alpha
// dropped, the top row first. No chunk says the time or the machine, so one
// picture gives the same bytes on every run. False, with libpng's reason in
// `error`, when libpng fails (out of memory).
bool encodePng(const unsigned char* rgba, int width, int height, std::vector<unsigned char>& file,
               std::string& error);

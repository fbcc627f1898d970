#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace walkmere {

// A picture of the screen: RGB, 3 bytes per pixel, rows of width * 3 bytes with the bottom
// row first (row s from the top starts at (height - 1 - s) * width * 3).
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Writes the top-left width x height pixels of the picture as a baseline JPEG of that size.
// Where the picture is narrower or shorter than that, the JPEG is padded with black; no byte
// outside the picture is read. On failure returns false with the reason in snapshotError().
bool WriteJpegFile(const std::string& path, int width, int height, int quality,
                   const Capture& picture);

// The text of the last failure of WriteJpegFile (or the encoder's last message); empty at
// start. Used by the UI thread only.
const std::string& snapshotError();

} // namespace walkmere

#pragma once

#include "image/RgbImage.h"

#include <string>

namespace walkmere {

// Writes the top-left width x height pixels of the picture as a baseline JPEG of that size.
// Where the picture is narrower or shorter than that, the JPEG is padded with black; no byte
// outside the picture is read, and a picture whose pixels hold fewer rows than its height
// says is taken as that many rows. On failure returns false with the reason in
// snapshotError().
bool WriteJpegFile(const std::string& path, int width, int height, int quality,
                   const RgbImage& picture);

// The text of the last failure of WriteJpegFile (or the encoder's last message); empty at
// start. Used by the UI thread only.
const std::string& snapshotError();

} // namespace walkmere

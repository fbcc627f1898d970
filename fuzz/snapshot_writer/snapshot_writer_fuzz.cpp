// The snapshot writer with screen captures of any size, whose pixel buffers may hold fewer
// bytes than their size claims.
//
// Input: width (2 bytes, LE, taken modulo 601), height (2 bytes, modulo 601), quality
// (1 byte, 0..100), mode (1 byte); the rest is the capture's pixel buffer, exactly as long
// as given, so a read past it is caught. Mode bit 0 asks for an output size from the next
// two bytes (0..300 each) instead of the snapshot's 240 x 265; bit 1 gives the capture
// negative sizes.
#include <cstdint>
#include <string>
#include <vector>

#include "image/JpegWriter.h"
#include "platform/ByteOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace walkmere;
    if (size < 6) return 0;
    RgbImage capture;
    capture.width = readLe16(data) % 601;
    capture.height = readLe16(data + 2) % 601;
    const int quality = data[4] % 101;
    const uint8_t mode = data[5];
    size_t at = 6;
    int outWidth = 240;
    int outHeight = 265;
    if ((mode & 1) && size >= at + 2) {
        outWidth = data[at] * 300 / 255;
        outHeight = data[at + 1] * 300 / 255;
        at += 2;
    }
    if (mode & 2) {
        capture.width = -capture.width;
        capture.height = -capture.height;
    }
    capture.pixels.assign(data + at, data + size);

    const bool written = WriteJpegFile("/dev/null", outWidth, outHeight, quality, capture);
    if (!written && snapshotError().empty()) __builtin_trap();
    // A picture of a size the encoder can make is always written.
    if (outWidth > 0 && outHeight > 0 && !written) __builtin_trap();
    return 0;
}

#pragma once

#include <cstdint>
#include <vector>

namespace walkmere::bench {

// 24-bit Windows bitmap files of the kinds of floor plan a site file carries.
enum class PlanKind {
    LineDrawing,   // black lines on white
    ColouredRooms, // flat-coloured rooms with dark walls
    NoisyScan,     // a scanned photo: smooth gradients plus noise
};

const char* planKindName(PlanKind kind);
std::vector<uint8_t> makePlanBitmap(PlanKind kind, int width, int height, uint32_t seed);

} // namespace walkmere::bench

#pragma once
// Whole site files for the site-file tests, as the site file writer makes them (a real
// Huffman-coded floor plan, a white signature block, the points section), with every
// uninterpreted header byte set to a pattern so that any stray write shows.

#include "survey/PointRecords.h"
#include "survey/SiteFileWriter.h"
#include "survey/SiteHeader.h"
#include "testkit/BmpBytes.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace walkmere::sitefiletest {

using Bytes = std::vector<unsigned char>;

using testkit::makeBmp;
using testkit::put16;
using testkit::put32;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SiteLayout {
    uint32_t headerLength = 152;
    uint16_t version = 4;
    Bytes plan = makeBmp(20, 10);
    Bytes points; // records and readings after the section head
};

struct BuiltSite {
    Bytes bytes;
    uint32_t bitmapOffset = 0;
    uint32_t signatureOffset = 0;
    uint32_t pointsOffset = 0;
    uint32_t planBlockLength = 0;
};

// The site file writer's file, with every header byte that the program does not interpret
// set to a pattern.
inline BuiltSite buildSite(const SiteLayout& layout = {}) {
    NewSiteFile site;
    site.headerLength = layout.headerLength;
    site.version = layout.version;
    site.pixelsPerUnitX = site.pixelsPerUnitY = 12.9;
    site.points = layout.points;
    BuiltSite s;
    MemoryPositionalSink sink(s.bytes);
    const SiteWriteResult written = writeSiteFile(sink, layout.plan, site);
    if (written.status != SiteWriteStatus::Ok) throw std::runtime_error("cannot build a site");
    s.bitmapOffset = written.header.bitmapOffset();
    s.signatureOffset = written.header.signatureOffset();
    s.pointsOffset = written.header.pointsOffset();
    s.planBlockLength = static_cast<uint32_t>(written.plan.blockBytes);

    struct Field {
        size_t offset, size;
    };
    constexpr Field kInterpreted[] = {
        {SiteHeader::kLengthOffset, 4},         {SiteHeader::kMagicOffset, 4},
        {SiteHeader::kVersionOffset, 2},        {SiteHeader::kPixelsPerUnitXOffset, 8},
        {SiteHeader::kPixelsPerUnitYOffset, 8}, {SiteHeader::kBitmapOffsetOffset, 12},
    };
    for (size_t i = 0; i < layout.headerLength; ++i) {
        const bool interpreted =
            std::any_of(std::begin(kInterpreted), std::end(kInterpreted),
                        [i](const Field& f) { return i >= f.offset && i < f.offset + f.size; });
        if (!interpreted) s.bytes[i] = static_cast<unsigned char>(0x40 + i * 3);
    }
    return s;
}

} // namespace walkmere::sitefiletest

#pragma once
// Small PDF files written by hand: pages of filled rectangles, for tests of floor plans read
// from PDF.

#include <string>
#include <vector>

namespace walkmere::testkit {

// A filled rectangle in points from the page's bottom left; its fill is "r g b", each 0 to 1.
struct PdfRect {
    int x, y, w, h;
    std::string colour;
};

// A page of width x height points with a filled rectangle, then the rectangles of `more`
// painted over it in their order.
struct PdfPage {
    int width, height;
    int x, y, w, h;
    const char* colour = "1 0 0";
    int rotate = 0;
    std::vector<PdfRect> more = {};
};

// A PDF of the pages; its cross-reference table points at each object's first byte.
std::vector<unsigned char> writePdf(const std::vector<PdfPage>& pages);

} // namespace walkmere::testkit

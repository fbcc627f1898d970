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
// painted over it in their order; then, when nestedForms is above 0, a form that draws the
// next form twice, that many forms deep, the last one a small black square: a page that
// takes 2^nestedForms squares to draw.
struct PdfPage {
    int width, height;
    int x, y, w, h;
    const char* colour = "1 0 0";
    int rotate = 0;
    std::vector<PdfRect> more = {};
    int nestedForms = 0;
};

// A PDF of the pages; its cross-reference table points at each object's first byte.
std::vector<unsigned char> writePdf(const std::vector<PdfPage>& pages);

} // namespace walkmere::testkit

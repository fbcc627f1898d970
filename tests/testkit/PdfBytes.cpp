#include "testkit/PdfBytes.h"

#include <cstdio>

namespace walkmere::testkit {

namespace {

std::string fill(const std::string& colour, int x, int y, int w, int h) {
    return colour + " rg " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) +
           " " + std::to_string(h) + " re f";
}

} // namespace

std::vector<unsigned char> writePdf(const std::vector<PdfPage>& pages) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    const auto object = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i)
        kids += std::to_string(3 + 2 * i) + " 0 R ";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    for (size_t i = 0; i < pages.size(); ++i) {
        const PdfPage& p = pages[i];
        std::string draw = fill(p.colour, p.x, p.y, p.w, p.h);
        for (const PdfRect& r : p.more)
            draw += "\n" + fill(r.colour, r.x, r.y, r.w, r.h);
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(p.width) + " " +
               std::to_string(p.height) + "] /Rotate " + std::to_string(p.rotate) + " /Contents " +
               std::to_string(4 + 2 * i) + " 0 R >>");
        object("<< /Length " + std::to_string(draw.size()) + " >>\nstream\n" + draw +
               "\nendstream");
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t at : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return std::vector<unsigned char>(pdf.begin(), pdf.end());
}

} // namespace walkmere::testkit

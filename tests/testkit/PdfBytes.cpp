#include "testkit/PdfBytes.h"

#include <algorithm>
#include <cstdio>

namespace walkmere::testkit {

namespace {

std::string fill(const std::string& colour, int x, int y, int w, int h) {
    return colour + " rg " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) +
           " " + std::to_string(h) + " re f";
}

// Resources naming one form, /F, the object `number`.
std::string formResource(size_t number) {
    return "<< /XObject << /F " + std::to_string(number) + " 0 R >> >>";
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
    std::vector<size_t> firstForm; // the object number of each page's outermost form
    size_t forms = 3 + 2 * pages.size();
    for (size_t i = 0; i < pages.size(); ++i) {
        kids += std::to_string(3 + 2 * i) + " 0 R ";
        firstForm.push_back(forms);
        forms += static_cast<size_t>(std::max(pages[i].nestedForms, 0));
    }
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>");
    for (size_t i = 0; i < pages.size(); ++i) {
        const PdfPage& p = pages[i];
        std::string draw = fill(p.colour, p.x, p.y, p.w, p.h);
        for (const PdfRect& r : p.more)
            draw += "\n" + fill(r.colour, r.x, r.y, r.w, r.h);
        std::string resources;
        if (p.nestedForms > 0) {
            draw += "\n/F Do";
            resources = " /Resources " + formResource(firstForm[i]);
        }
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(p.width) + " " +
               std::to_string(p.height) + "] /Rotate " + std::to_string(p.rotate) + " /Contents " +
               std::to_string(4 + 2 * i) + " 0 R" + resources + " >>");
        object("<< /Length " + std::to_string(draw.size()) + " >>\nstream\n" + draw +
               "\nendstream");
    }
    for (size_t i = 0; i < pages.size(); ++i)
        for (int level = 0; level < pages[i].nestedForms; ++level) {
            const bool last = level + 1 == pages[i].nestedForms;
            const std::string draw = last ? fill("0 0 0", 0, 0, 1, 1) : "/F Do /F Do";
            object("<< /Type /XObject /Subtype /Form /BBox [0 0 " + std::to_string(pages[i].width) +
                   " " + std::to_string(pages[i].height) + "]" +
                   (last ? "" : " /Resources " + formResource(firstForm[i] + level + 1)) +
                   " /Length " + std::to_string(draw.size()) + " >>\nstream\n" + draw +
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

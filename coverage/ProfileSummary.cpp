#include "coverage/ProfileSummary.h"

#include "coverage/CoverageReport.h"
#include "coverage/ReportHtml.h"
#include "image/PngWriter.h"

#include <cmath>
#include <cstdio>

namespace walkmere {

bool sharePasses(uint64_t part, uint64_t whole) {
    return whole > 0 && double(part) >= kPassingShare * double(whole);
}

namespace {

std::string percent(uint64_t part, uint64_t whole) {
    if (whole == 0) return "&ndash;";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * double(part) / double(whole));
    return text;
}

const char* verdict(bool passes) {
    return passes ? "<b style=\"color:#080\">pass</b>" : "<b style=\"color:#c00\">fail</b>";
}

const char* requirementHeading(Requirement requirement) {
    switch (requirement) {
    case Requirement::Primary:
        return "Primary signal";
    case Requirement::Secondary:
        return "Secondary signal";
    case Requirement::AccessPoints:
        return "Access points";
    case Requirement::CoChannel:
        return "Co-channel";
    }
    return "";
}

} // namespace

void writeProfileSummary(std::ostream& html, const RgbImage& plan, const SurveyData& survey,
                         const HeatmapOptions& options, const RequirementProfile& profile,
                         const std::optional<PlanScale>& scale) {
    ProfileMap map = renderProfileMap(plan, survey, NetworkFilter{}, options, profile);
    const ProfileShare& share = map.share;
    const uint64_t area = share.surveyedPixels;
    html << "<h3>Summary: the " << htmlText(profile.name) << " profile</h3>\n<p>The survey "
         << "judged against what the network must carry, over all access points and bands, "
            "in the surveyed area ("
         << htmlText(surveyedAreaText(area, scale)) << " within "
         << htmlText(radiusText(map.radius, scale))
         << " of a survey point). A requirement passes when at least "
         << std::lround(kPassingShare * 100)
         << " % of the surveyed area meets it; the profile passes when that much meets every "
            "requirement at once.</p>\n<table>\n"
            "<tr><th>Requirement</th><th>Met</th><th>Result</th></tr>\n";
    for (size_t i = 0; i < kRequirementCount; ++i) {
        const Requirement r = kRequirements[i];
        html << "<tr><td>" << requirementHeading(r) << ": " << htmlText(requirementText(profile, r))
             << "</td>";
        if (r == Requirement::Secondary && !profile.secondary)
            html << "<td class=n>&ndash;</td><td>not required</td></tr>\n";
        else
            html << "<td class=n>" << percent(share.meeting[i], area) << "</td><td>"
                 << verdict(sharePasses(share.meeting[i], area)) << "</td></tr>\n";
    }
    html << "<tr><th>The whole profile: every requirement at once</th><td class=n>"
         << percent(share.passing, area) << "</td><td>" << verdict(sharePasses(share.passing, area))
         << "</td></tr>\n</table>\n<p><img class=map alt=\"Pass/fail map of the "
         << htmlText(profile.name) << " profile\" src=\"data:image/png;base64,";
    Base64Writer text(html);
    const std::string problem = encodePng(map.image, text, 3);
    // A failed write is the stream's to tell.
    if (!problem.empty() && html) throw ReportError("cannot make a picture: " + problem);
    text.finish();
    html << "\"></p>\n<p>Green passes every requirement; hatched red fails at least one.</p>\n";
}

} // namespace walkmere

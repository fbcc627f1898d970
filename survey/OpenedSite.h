#pragma once

#include "survey/BmpInfo.h"
#include "survey/SiteFile.h"
#include "survey/SiteHeader.h"
#include "survey/StoreOutcome.h"
#include "survey/TempFile.h"

#include <optional>
#include <string>

namespace walkmere {

class CSurveyStore;

// A site the open flow accepted. The store has adopted it and its header flags are
// cleared in the file; the site file itself is closed again. The floor plan, decoded
// into a temporary file of its own, stays until this object goes: load it, then let the
// object go, which removes the temporary file.
class OpenedSite {
public:
    OpenedSite(OpenedSite&&) noexcept = default;
    OpenedSite& operator=(OpenedSite&&) noexcept = default;

    const std::string& path() const { return sitePath; }
    const SiteLayout& layout() const { return siteLayout; }

    // True when the floor plan decoded into a Windows bitmap file whose headers describe
    // a whole picture; floorPlanPath() names it then.
    bool hasFloorPlan() const { return !plan.path().empty() && planCheck.loadable; }
    const std::string& floorPlanPath() const { return plan.path(); }
    const BmpCheck& floorPlanCheck() const { return planCheck; }
    // Why there is no floor plan, in a few words ("" when there is one).
    const std::string& floorPlanProblem() const { return planProblem; }

private:
    friend struct SiteOpener;
    OpenedSite() = default;

    std::string sitePath;
    SiteLayout siteLayout;
    TempFile plan;
    BmpCheck planCheck;
    std::string planProblem;
};

struct SiteOpenResult {
    std::optional<SiteFileRefusal> refusal; // the file was not opened; show with kFileErrorCaption
    std::optional<OpenedSite> site;         // set when accepted
    Notices notices; // an accepted site whose header could not be written back
};

// The file half of opening a site, in one call:
//   - opens the file read-write and takes an exclusive lock, failing at once when another
//     program holds it;
//   - validates it (validateSiteFile); a refused file is closed unchanged;
//   - makes it the store's site (adoptSite) and zeroes the header's two cleared flags
//     through the open descriptor (a write that fails leaves its notice in the result);
//   - decodes the floor-plan block straight from the site file into a new temporary
//     file, "<path>.e.XXXXXX" beside it or in $TMPDIR, never an existing file;
//   - closes the site file, so that the store's own operations can lock it next.
// The caller then passes the notices on, loads floorPlanPath() (or says "Cannot Load
// Bitmap"), drops the OpenedSite, and asks whether to keep the points (loadPoints or
// discardPoints).
SiteOpenResult openSiteForSurvey(const std::string& path, CSurveyStore& store);

} // namespace walkmere

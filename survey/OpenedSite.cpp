#include "survey/OpenedSite.h"

#include "platform/RegularFile.h"
#include "survey/BitmapExpander.h"
#include "survey/SurveyStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>

namespace walkmere {

namespace {

SiteOpenResult refusedWith(SiteFileProblem problem, std::string text) {
    SiteOpenResult result;
    result.refusal = SiteFileRefusal{problem, std::move(text)};
    return result;
}

} // namespace

struct SiteOpener {
    static void decodeFloorPlan(OpenedSite& site, int siteFd) {
        const SiteLayout& layout = site.siteLayout;
        if (int error = site.plan.createNear(site.sitePath, "e")) {
            site.planProblem = std::string("cannot make a temporary file: ") + std::strerror(error);
            return;
        }
        const auto decode = [&] {
            return expandPlanBitmap(siteFd, layout.header.bitmapOffset(), layout.planBlockBytes(),
                                    site.plan.descriptor());
        };
        ExpandResult expanded = decode();
        // The site's folder took the file but not its content (a full card): once more in
        // the temporary folder, which the new file replaces.
        if (expanded.status == ExpandStatus::WriteFailed && !site.plan.inTemporaryFolder() &&
            site.plan.createInTemporaryFolder("e") == 0)
            expanded = decode();
        const int closeError = site.plan.closeDescriptor();
        if (expanded.status != ExpandStatus::Ok) {
            site.planProblem = describeExpandResult(expanded);
            site.plan.remove();
            return;
        }
        if (closeError != 0) {
            site.planProblem = std::strerror(closeError);
            site.plan.remove();
            return;
        }
        site.planCheck = checkBmpFile(site.plan.path());
        if (!site.planCheck.loadable) site.planProblem = site.planCheck.problem;
    }

    static SiteOpenResult open(const std::string& path, CSurveyStore& store) {
        RegularFileOpening opened = openRegularFile(path, O_RDWR);
        if (!opened.fd.valid())
            return refusedWith(SiteFileProblem::CannotOpen,
                               opened.notRegular ? path + ": " + opened.problem : opened.problem);
        OwnedFd fd = std::move(opened.fd);
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            return refusedWith(SiteFileProblem::CannotOpen,
                               error == EWOULDBLOCK ? kFileInUseText : std::strerror(error));
        }

        SiteValidation validation = validateSiteFile(fd.get());
        if (!validation.accepted()) {
            SiteOpenResult result;
            result.refusal = std::move(validation.refusal);
            return result;
        }

        OpenedSite site;
        site.sitePath = path;
        site.siteLayout = validation.layout;
        store.adoptSite(path, site.siteLayout.header);
        // A failed write is told to the surveyor; the site stays open for viewing.
        StoreOutcome flagsCleared = store.clearHeaderFlags(fd.get());
        site.siteLayout.header.clearFlags();
        decodeFloorPlan(site, fd.get());
        fd.reset(); // closing releases the lock

        SiteOpenResult result;
        result.site = std::move(site);
        result.notices = std::move(flagsCleared.notices);
        return result;
    }
};

SiteOpenResult openSiteForSurvey(const std::string& path, CSurveyStore& store) {
    return SiteOpener::open(path, store);
}

} // namespace walkmere

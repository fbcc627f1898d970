#include "survey/OpenSiteCommand.h"

#include "platform/Prompter.h"
#include "survey/OpenedSite.h"
#include "survey/SurveyStore.h"
#include "survey/TellSurveyor.h"

namespace walkmere {

bool runOpenSiteCommand(IPrompter& prompter, ISoundPlayer& sound, CSurveyStore& store,
                        ISiteOpenView& view) {
    FileDialogRequest request;
    request.filter = kSiteFileFilter;
    request.defaultExtension = "KVS";
    request.initialName = "SITE1";
    request.fileMustExist = true;
    const std::optional<std::string> chosen = prompter.askOpenFile(request);
    if (!chosen) {
        view.redraw();
        return false;
    }

    prompter.beginWaitCursor();
    SiteOpenResult opening = openSiteForSurvey(*chosen, store);
    if (opening.refusal) {
        // A file the system would not open takes the cursor away before its reason shows;
        // a refused file shows its reason first, as the file is closed after.
        const bool systemReason = opening.refusal->problem == SiteFileProblem::CannotOpen;
        if (systemReason) prompter.endWaitCursor();
        prompter.showMessage(opening.refusal->text, kFileErrorCaption, MessageIcon::Stop);
        if (!systemReason) prompter.endWaitCursor();
        return false;
    }
    tellSurveyor(opening.notices, prompter, sound);

    {
        // The decoded floor plan lives only inside this scope.
        OpenedSite site = std::move(*opening.site);
        opening.site.reset();
        view.siteAccepted(site.path());
        const bool loaded = site.hasFloorPlan() && view.loadFloorPlan(site.floorPlanPath());
        if (!loaded) prompter.showMessage(kCannotLoadBitmapText);
    }
    view.siteReady();

    // Only a real No removes the points; a box left by Escape or its close button keeps them.
    const bool keep = prompter.askYesNo(kKeepPointsQuestion, kKeepPointsCaption) != YesNoAnswer::No;
    const StoreOutcome points = keep ? store.loadPoints() : store.discardPoints();
    tellSurveyor(points.notices, prompter, sound);
    prompter.endWaitCursor();
    view.redraw();
    return true;
}

} // namespace walkmere

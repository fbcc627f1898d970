#pragma once

#include <optional>
#include <string>

namespace walkmere {

class CSiteView;
class CSurveyStore;
class IPrompter;
class ISoundPlayer;

// "Open a Site" for the site view: the file dialog (skipped when `path` is given, as for a
// site named on the command line), the file half of the opening, the floor plan loaded as
// the view's picture ("Cannot Load Bitmap" when none results), the viewport sized to a
// square view on the plan, the scroll bars set to the plan and its centre, and the question
// whether to keep the points already in the file. A cancelled or refused opening leaves the
// view and the store with the site they had. True when a site was opened.
bool openSiteInView(CSiteView& view, CSurveyStore& store, IPrompter& prompter, ISoundPlayer& sound,
                    const std::optional<std::string>& path = std::nullopt);

} // namespace walkmere

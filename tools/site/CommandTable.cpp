#include "tools/site/SiteCommand.h"

namespace walkmere::sitetool {

extern const SiteCommand kCreateCommand;
extern const SiteCommand kInfoCommand;
extern const SiteCommand kPointsCommand;
extern const SiteCommand kPlanCommand;
extern const SiteCommand kHeatmapCommand;
extern const SiteCommand kPredictCommand;
extern const SiteCommand kReportCommand;
extern const SiteCommand kApsCommand;
extern const SiteCommand kMergeCommand;

std::span<const SiteCommand* const> siteCommands() {
    static const SiteCommand* const commands[] = {
        &kCreateCommand,  &kInfoCommand,   &kPointsCommand, &kPlanCommand,  &kHeatmapCommand,
        &kPredictCommand, &kReportCommand, &kApsCommand,    &kMergeCommand,
    };
    return commands;
}

} // namespace walkmere::sitetool

#pragma once

#include "coverage/CoverageReport.h"
#include "tools/site/ToolArgs.h"

#include <string>
#include <vector>

namespace walkmere::sitetool {

// What the report's title page says, and the name of each site file's floor.
struct ReportInfo {
    ReportCover cover;
    std::vector<std::string> floors; // in the order of the site files; may be short
};

// The --info file: one JSON object with any of "title", "client", "site", "surveyor" and
// "notes" (text) and "floors" (a list of text, one per site file). Throws FileError
// "PATH: ..." naming the key and the reason for a file that cannot be read, is not such an
// object, or holds a key of another name or type.
ReportInfo readReportInfo(const std::string& path);

// --info FILE.json, then --title, --client, --site, --surveyor, --notes and each --floor
// over what the file says.
ReportInfo reportInfoOptions(const ToolArgs& args);

} // namespace walkmere::sitetool

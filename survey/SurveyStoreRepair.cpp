// Repairing the end of the points that a write cut short (a crash, a full disk) when the
// points are loaded.
#include <cstring>
#include <string>

#include "survey/PointsAppender.h"
#include "survey/SafetyCopy.h"
#include "survey/SurveyStore.h"

namespace walkmere {

namespace {

std::string readingsSaved(uint16_t n) {
    if (n == 0) return "no reading, as none was saved";
    if (n == 1) return "the 1 reading that was saved";
    return "the " + std::to_string(n) + " readings that were saved";
}

} // namespace

void CSurveyStore::repairTornTail(const PointsTail& tail, Notices& notices) {
    std::string text;
    if (tail.readingsCut) {
        const PointRecord& r = tail.cutRecord;
        const std::string where = std::to_string(r.x()) + ", " + std::to_string(r.y());
        // The cut record is the last one loaded: as a survey point, it is the last counted.
        text = r.kind() == KIND_SURVEY_POINT ? "The last survey point (number " +
                                                   std::to_string(locations) + ", at " + where + ")"
                                             : "The last point record (at " + where + ")";
        text += " was not completely written: it is kept with " + readingsSaved(tail.present) + ".";
    } else {
        text = "A point record was cut short at the end of the site file (" +
               std::to_string(tail.tornBytes()) + " of its " + std::to_string(kPointRecordSize) +
               " bytes were written): it is left out.";
    }

    // The file as it was goes to repaired/ before anything is cut, so that nothing the
    // repair takes away is lost, whatever the reason the file ended as it did.
    const SafetyCopy copy = keepSafetyCopy(siteFile, path, kRepairedFolder);
    if (!copy.made()) {
        // Nothing is cut without a copy: the file stays as it is, for the surveyor to keep
        // elsewhere. A point appended after the cut-short bytes would be read as part of
        // them, so the next write cuts them first (doubtfulTail), as the message says.
        doubtfulTail = tail;
        text += " No copy of the site file as it was could be made (" + copy.error +
                "), so the file is left as it is until the next point is written, which first "
                "cuts off the incomplete part.";
    } else {
        text += " The site file as it was is in " + copy.path + ".";
        if (int error = repairPointsTail(siteFile, tail)) {
            doubtfulTail = tail;
            text += " The incomplete part could not be cut off yet (" +
                    std::string(std::strerror(error)) +
                    "); it is cut off before the next point is written.";
        }
    }
    notices.push_back(warningNotice(std::move(text)));
}

} // namespace walkmere

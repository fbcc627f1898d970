#include "tools/site/SiteCommand.h"
#include "tools/site/SiteReading.h"
#include "tools/site/TextEscape.h"
#include "tools/site/ToolArgs.h"

#include <cstdio>

namespace walkmere::sitetool {

namespace {

std::string rawLabel(const PointRecord& r) {
    return r.label();
}
std::string rawSsid(const ApReading& r) {
    return r.ssid();
}

void printJsonPoint(const PointsEntry& p, const PointSummary& s, bool first, std::ostream& out) {
    const PointRecord& r = p.record;
    out << (first ? "\n" : ",\n") << "  {\"x\": " << r.x() << ", \"y\": " << r.y()
        << ", \"label\": " << jsonString(rawLabel(r)) << ", \"kind\": " << int(r.kind())
        << ", \"bestRssi\": " << s.bestRssi << ", \"readingCount\": " << s.readingCount
        << ", \"fileOffset\": " << p.fileOffset << ", \"readings\": [";
    bool firstReading = true;
    for (const ApReading& a : p.readings) {
        const std::string ssid = rawSsid(a);
        const char* band = bandWord(a.band());
        out << (firstReading ? "" : ", ") << "{\"channel\": " << int(a.channel())
            << ", \"band\": " << (*band ? jsonString(band) : "null")
            << ", \"rssi\": " << a.rssiDbm() << ", \"mac\": \"" << macText(a.mac())
            << "\", \"ssid\": " << jsonString(ssid) << ", \"ssidHex\": \"" << hexBytes(ssid)
            << "\"}";
        firstReading = false;
    }
    out << "]}";
}

constexpr const char* kCsvHeader =
    "x,y,label,kind,bestRssi,readingCount,fileOffset,channel,rssi,mac,ssid,band\n";

void printCsvPoint(const PointsEntry& p, const PointSummary& s, std::ostream& out) {
    const PointRecord& r = p.record;
    const std::string pointFields =
        std::to_string(r.x()) + ',' + std::to_string(r.y()) + ',' + csvField(rawLabel(r)) + ',' +
        std::to_string(r.kind()) + ',' + std::to_string(s.bestRssi) + ',' +
        std::to_string(s.readingCount) + ',' + std::to_string(p.fileOffset);
    if (p.readings.empty()) {
        out << pointFields << ",,,,,\n";
        return;
    }
    for (const ApReading& a : p.readings)
        out << pointFields << ',' << int(a.channel()) << ',' << a.rssiDbm() << ','
            << macText(a.mac()) << ',' << csvField(rawSsid(a)) << ',' << bandWord(a.band()) << '\n';
}

void printTextPoint(const PointsEntry& p, const PointSummary& s, uint32_t number,
                    std::ostream& out) {
    const PointRecord& r = p.record;
    char line[160];
    std::snprintf(line, sizeof line, "%4u  @%-9llu %-8s x=%-6d y=%-6d best %4d dBm  %u readings  ",
                  number, static_cast<unsigned long long>(p.fileOffset), kindName(r.kind()), r.x(),
                  r.y(), s.bestRssi, s.readingCount);
    out << line << jsonString(rawLabel(r)) << '\n';
    for (const ApReading& a : p.readings) {
        std::snprintf(line, sizeof line, "        ch %s%3u  %4d dBm  %s  ",
                      a.band() == ReadingBand::Ghz6 ? "6G " : "", a.channel(), a.rssiDbm(),
                      macText(a.mac()).c_str());
        out << line << jsonString(rawSsid(a)) << '\n';
    }
}

int runPoints(const std::vector<std::string>& args, ToolStreams& io) {
    ToolArgs parsed(args, {{"--json", false}, {"--csv", false}});
    const bool json = parsed.has("--json");
    const bool csv = parsed.has("--csv");
    if (json && csv) throw UsageError("--json and --csv cannot be used together");
    const std::string& path = parsed.single("SITE.kvs");
    ReadOnlySite site = openSiteForListing(path);

    std::ostream& out = io.out;
    uint32_t number = 0;
    if (json) out << "{\"points\": [";
    if (csv) out << kCsvHeader;
    const PointsWalkEnd end =
        walkSitePoints(site, [&](const PointsEntry& p, const PointSummary& summary) {
            if (json)
                printJsonPoint(p, summary, number == 0, out);
            else if (csv)
                printCsvPoint(p, summary, out);
            else
                printTextPoint(p, summary, number + 1, out);
            ++number;
            return true;
        });
    if (end.damage) {
        if (json)
            out << (number ? "\n" : "")
                << "], \"tornTail\": null, \"damage\": " << damageJson(*end.damage) << "}\n";
        io.err << kToolName << ": " << path << ": " << damagedPointsText(*end.damage) << '\n';
        return kExitFileError;
    }
    const PointsTail& tail = end.tail;
    if (json) out << (number ? "\n" : "") << "], \"tornTail\": " << tail.tornBytes() << "}\n";
    if (tail.torn)
        io.err << kToolName << ": " << path << ": points section ends torn: " << tail.tornBytes()
               << " bytes of a partial record or reading, " << tail.missingReadings()
               << " announced readings missing\n";
    return kExitOk;
}

} // namespace

extern const SiteCommand kPointsCommand{
    "points",
    "SITE.kvs [--json | --csv]",
    "list every point record with its readings",
    "Lists every point record in file order, deleted ones and placed access points\n"
    "included, with the readings that follow it. bestRssi and readingCount are what the\n"
    "program computes when it loads the points: the strongest reading in whole dBm over the\n"
    "readings actually present, never below -100, and -100 with 0 readings for a placed\n"
    "access point. RSSI is shown in whole dBm (the stored value / 256, truncated). kind is\n"
    "0 survey point, 1 placed access point, 2 deleted. band is 2.4, 5 or 6 (GHz), and\n"
    "empty (null) where the reading does not say; the plain listing shows \"ch 6G N\" for a\n"
    "6 GHz channel.\n"
    "\n"
    "  --json  {\"points\": [{\"x\", \"y\", \"label\", \"kind\", \"bestRssi\", \"readingCount\",\n"
    "          \"fileOffset\", \"readings\": [{\"channel\", \"band\", \"rssi\", \"mac\", "
    "\"ssid\",\n"
    "          \"ssidHex\"}]}], \"tornTail\"}. SSIDs and labels are arbitrary bytes: control\n"
    "          characters are escaped, bytes that are not UTF-8 become U+FFFD; ssidHex holds\n"
    "          the exact bytes.\n"
    "  --csv   one row per reading under a header row; a point without readings has one\n"
    "          row with the reading fields empty. Control characters and bytes that are not\n"
    "          UTF-8 are written as \\xNN and a backslash as \\\\; fields holding commas or\n"
    "          quotes are quoted.\n"
    "\n"
    "A torn tail (a partial record at the end of the file) is reported on standard error;\n"
    "the file is not repaired. A point record that announces more readings than a point can\n"
    "hold (32) is damage: the records before it are listed, the damage is reported on\n"
    "standard error with its byte offset (and in --json as \"damage\": offset, announced,\n"
    "text, with \"tornTail\" null), and the exit code is 1.\n",
    runPoints,
};

} // namespace walkmere::sitetool

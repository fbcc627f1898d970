#include "tools/site/ReportInfo.h"

#include "platform/StrictJson.h"
#include "tools/site/SiteCommand.h"

#include <nlohmann/json.hpp>

namespace walkmere::sitetool {

namespace {

// Far more than any title page says; a larger file is not one.
constexpr uint64_t kMaxInfoBytes = 1 << 20;

std::string readInfoText(const std::string& path) {
    SmallFileRead file = readSmallRegularFile(path, kMaxInfoBytes, "the report's details");
    if (file.fault == SmallFileRead::Fault::TooLarge)
        throw FileError(path + ": larger than the " + std::to_string(kMaxInfoBytes) +
                        " bytes the report's details may have");
    if (file.fault == SmallFileRead::Fault::CannotRead)
        throw FileError(path + ": cannot read the report's details");
    if (file.fault == SmallFileRead::Fault::CannotOpen) throw FileError(path + ": " + file.problem);
    return std::move(file.text);
}

std::string textOf(const std::string& path, const std::string& key, const nlohmann::json& value) {
    if (!value.is_string()) throw FileError(path + ": \"" + key + "\" is not text");
    return value.get<std::string>();
}

} // namespace

ReportInfo readReportInfo(const std::string& path) {
    const std::string text = readInfoText(path);
    nlohmann::json root;
    try {
        // A key given twice is refused, not left to the last one given.
        root = parseStrictJson(text);
    } catch (const JsonRefusal& r) {
        throw FileError(path + ": " + r.text);
    }
    if (!root.is_object()) throw FileError(path + ": not a JSON object");
    ReportInfo info;
    for (const auto& [key, value] : root.items()) {
        if (key == "title")
            info.cover.title = textOf(path, key, value);
        else if (key == "client")
            info.cover.client = textOf(path, key, value);
        else if (key == "site")
            info.cover.site = textOf(path, key, value);
        else if (key == "surveyor")
            info.cover.surveyor = textOf(path, key, value);
        else if (key == "notes")
            info.cover.notes = textOf(path, key, value);
        else if (key == "floors") {
            if (!value.is_array()) throw FileError(path + ": \"floors\" is not a list");
            for (const nlohmann::json& floor : value)
                info.floors.push_back(textOf(path, "floors", floor));
        } else {
            throw FileError(path + ": unknown key \"" + key +
                            "\" (title, client, site, surveyor, notes and floors are known)");
        }
    }
    return info;
}

ReportInfo reportInfoOptions(const ToolArgs& args) {
    const std::optional<std::string> file = args.value("--info");
    ReportInfo info = file ? readReportInfo(*file) : ReportInfo{};
    const std::pair<const char*, std::string*> fields[] = {
        {"--title", &info.cover.title}, {"--client", &info.cover.client},
        {"--site", &info.cover.site},   {"--surveyor", &info.cover.surveyor},
        {"--notes", &info.cover.notes},
    };
    for (const auto& [option, field] : fields)
        if (const auto given = args.value(option)) *field = *given;
    if (args.has("--floor")) info.floors = args.values("--floor");
    return info;
}

} // namespace walkmere::sitetool

#include "coverage/RequirementProfile.h"

#include "platform/StrictJson.h"

#include <initializer_list>
#include <nlohmann/json.hpp>

namespace walkmere {

const std::vector<RequirementProfile>& builtInProfiles() {
    static const std::vector<RequirementProfile> profiles = {
        {"data", -70, std::nullopt, 1, -70, 3},
        {"voice", -67, -67, 2, -67, 2},
        {"location", -67, -70, 3, -75, 3},
    };
    return profiles;
}

std::optional<RequirementProfile> builtInProfile(std::string_view name) {
    for (const RequirementProfile& p : builtInProfiles())
        if (p.name == name) return p;
    return std::nullopt;
}

std::string profileJson(const RequirementProfile& profile) {
    const nlohmann::ordered_json json{
        {"name", profile.name},
        {"primary", profile.primary},
        {"secondary", profile.secondary ? nlohmann::ordered_json(*profile.secondary) : nullptr},
        {"accessPoints", {{"count", profile.accessPointCount}, {"at", profile.accessPointLevel}}},
        {"coChannel", profile.coChannelLimit}};
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

namespace {

using Json = nlohmann::json;

double level(const Json& value, const std::string& key) {
    if (!value.is_number())
        refuseJson(key, std::string("must be a number, not ") + jsonKind(value));
    const double v = value.get<double>();
    if (!(v >= kLowestProfileLevel && v <= kHighestProfileLevel))
        refuseJson(key, value.dump() + " is out of range (" + jsonLimitText(kLowestProfileLevel) +
                            " to " + jsonLimitText(kHighestProfileLevel) + " dBm)");
    return v;
}

int count(const Json& value, const std::string& key, int low) {
    if (!value.is_number_integer())
        refuseJson(key, value.is_number()
                            ? value.dump() + " is not a whole number"
                            : std::string("must be a whole number, not ") + jsonKind(value));
    const bool tooLarge =
        value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(kMostProfileAccessPoints);
    if (tooLarge || value.get<int64_t>() < low || value.get<int64_t>() > kMostProfileAccessPoints)
        refuseJson(key, value.dump() + " is out of range (" + std::to_string(low) + " to " +
                            std::to_string(kMostProfileAccessPoints) + ")");
    return int(value.get<int64_t>());
}

// An object whose keys are checked against those it may have before any is read, so that a
// misspelt key is named rather than taken for a missing one.
const Json& object(const Json& value, const std::string& key,
                   std::initializer_list<const char*> keys) {
    if (!value.is_object())
        refuseJson(key, std::string("must be an object, not ") + jsonKind(value));
    for (const auto& [name, ignored] : value.items()) {
        bool known = false;
        std::string list;
        for (const char* k : keys) {
            known = known || name == k;
            list += (list.empty() ? "" : ", ") + std::string(k);
        }
        if (!known)
            refuseJson(key.empty() ? name : key + "." + name,
                       "not a key of a profile (" + list + ")");
    }
    return value;
}

const Json& required(const Json& object, const std::string& key, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) refuseJson(key.empty() ? name : key + "." + name, "missing");
    return *it;
}

RequirementProfile readProfile(const Json& root) {
    object(root, "", {"name", "primary", "secondary", "accessPoints", "coChannel"});
    RequirementProfile p;
    const Json& name = required(root, "", "name");
    if (!name.is_string())
        refuseJson("name", std::string("must be a string, not ") + jsonKind(name));
    p.name = name.get<std::string>();
    if (p.name.empty()) refuseJson("name", "is empty");
    if (p.name.size() > kLongestProfileName)
        refuseJson("name", std::to_string(p.name.size()) + " bytes, more than the " +
                               std::to_string(kLongestProfileName) + " a name may have");
    // The name is printed in messages and on the map.
    for (const char c : p.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            refuseJson("name", "holds a control character");
    p.primary = level(required(root, "", "primary"), "primary");
    if (const auto it = root.find("secondary"); it != root.end() && !it->is_null())
        p.secondary = level(*it, "secondary");
    const Json& aps = object(required(root, "", "accessPoints"), "accessPoints", {"count", "at"});
    p.accessPointCount = count(required(aps, "accessPoints", "count"), "accessPoints.count", 1);
    p.accessPointLevel = level(required(aps, "accessPoints", "at"), "accessPoints.at");
    p.coChannelLimit = count(required(root, "", "coChannel"), "coChannel", 0);
    return p;
}

} // namespace

std::optional<RequirementProfile> parseRequirementProfile(std::string_view json,
                                                          std::string& error) {
    try {
        return readProfile(parseStrictJson(json));
    } catch (const JsonRefusal& r) {
        error = r.text;
    }
    return std::nullopt;
}

std::optional<RequirementProfile> loadRequirementProfile(const std::string& path,
                                                         std::string& error) {
    const SmallFileRead file = readSmallRegularFile(path, kMaxProfileBytes, "the profile");
    if (file.fault == SmallFileRead::Fault::TooLarge)
        error = path + ": more than the " + std::to_string(kMaxProfileBytes) +
                " bytes a profile may have";
    else if (file.fault != SmallFileRead::Fault::None)
        error = path + ": " + file.problem;
    if (file.fault != SmallFileRead::Fault::None) return std::nullopt;
    std::string why;
    std::optional<RequirementProfile> profile = parseRequirementProfile(file.text, why);
    if (!profile) error = path + ": " + why;
    return profile;
}

} // namespace walkmere

#include "coverage/RequirementProfile.h"

#include "platform/RegularFile.h"
#include "survey/SiteFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>

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

// The first fault found, thrown inside the reader and caught at its top.
struct Refusal {
    std::string text;
};

[[noreturn]] void refuse(const std::string& key, const std::string& reason) {
    throw Refusal{key.empty() ? reason : key + ": " + reason};
}

const char* kindOf(const Json& value) {
    switch (value.type()) {
    case Json::value_t::object:
        return "an object";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::boolean:
        return "true or false";
    case Json::value_t::null:
        return "null";
    default:
        return "a number";
    }
}

std::string limitText(double v) {
    std::string text = Json(v).dump();
    if (text.ends_with(".0")) text.resize(text.size() - 2);
    return text;
}

double level(const Json& value, const std::string& key) {
    if (!value.is_number()) refuse(key, std::string("must be a number, not ") + kindOf(value));
    const double v = value.get<double>();
    if (!(v >= kLowestProfileLevel && v <= kHighestProfileLevel))
        refuse(key, value.dump() + " is out of range (" + limitText(kLowestProfileLevel) + " to " +
                        limitText(kHighestProfileLevel) + " dBm)");
    return v;
}

int count(const Json& value, const std::string& key, int low) {
    if (!value.is_number_integer())
        refuse(key, value.is_number()
                        ? value.dump() + " is not a whole number"
                        : std::string("must be a whole number, not ") + kindOf(value));
    const bool tooLarge =
        value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(kMostProfileAccessPoints);
    if (tooLarge || value.get<int64_t>() < low || value.get<int64_t>() > kMostProfileAccessPoints)
        refuse(key, value.dump() + " is out of range (" + std::to_string(low) + " to " +
                        std::to_string(kMostProfileAccessPoints) + ")");
    return int(value.get<int64_t>());
}

// An object whose keys are checked against those it may have before any is read, so that a
// misspelt key is named rather than taken for a missing one.
const Json& object(const Json& value, const std::string& key,
                   std::initializer_list<const char*> keys) {
    if (!value.is_object()) refuse(key, std::string("must be an object, not ") + kindOf(value));
    for (const auto& [name, ignored] : value.items()) {
        bool known = false;
        std::string list;
        for (const char* k : keys) {
            known = known || name == k;
            list += (list.empty() ? "" : ", ") + std::string(k);
        }
        if (!known)
            refuse(key.empty() ? name : key + "." + name, "not a key of a profile (" + list + ")");
    }
    return value;
}

const Json& required(const Json& object, const std::string& key, const char* name) {
    const auto it = object.find(name);
    if (it == object.end()) refuse(key.empty() ? name : key + "." + name, "missing");
    return *it;
}

RequirementProfile readProfile(const Json& root) {
    object(root, "", {"name", "primary", "secondary", "accessPoints", "coChannel"});
    RequirementProfile p;
    const Json& name = required(root, "", "name");
    if (!name.is_string()) refuse("name", std::string("must be a string, not ") + kindOf(name));
    p.name = name.get<std::string>();
    if (p.name.empty()) refuse("name", "is empty");
    if (p.name.size() > kLongestProfileName)
        refuse("name", std::to_string(p.name.size()) + " bytes, more than the " +
                           std::to_string(kLongestProfileName) + " a name may have");
    // The name is printed in messages and on the map.
    for (const char c : p.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            refuse("name", "holds a control character");
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
        // A key given twice in one object: the JSON reader would keep the last without a word.
        std::vector<std::set<std::string>> keys;
        std::vector<std::string> path;
        std::string twice;
        const auto watch = [&](int, Json::parse_event_t event, Json& parsed) {
            using E = Json::parse_event_t;
            if (event == E::object_start) {
                keys.emplace_back();
                path.emplace_back();
            } else if (event == E::object_end) {
                keys.pop_back();
                path.pop_back();
            } else if (event == E::key && !keys.empty()) {
                path.back() = parsed.get<std::string>();
                if (!keys.back().insert(path.back()).second && twice.empty())
                    for (const std::string& k : path)
                        twice += (twice.empty() ? "" : ".") + k;
            }
            return true;
        };
        const Json root = Json::parse(json.begin(), json.end(), watch);
        if (!twice.empty()) refuse(twice, "given twice");
        return readProfile(root);
    } catch (const Refusal& r) {
        error = r.text;
    } catch (const Json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 2, column 5: syntax error ..."
        std::string what = e.what();
        const size_t at = what.find(" at line ");
        what = at == std::string::npos ? what.substr(what.find(']') + 1) : what.substr(at + 4);
        while (!what.empty() && what.front() == ' ')
            what.erase(0, 1);
        error = "not JSON: " + what;
    }
    return std::nullopt;
}

std::optional<RequirementProfile> loadRequirementProfile(const std::string& path,
                                                         std::string& error) {
    const RegularFileOpening opened = openRegularFile(path, O_RDONLY);
    if (!opened.fd.valid()) {
        error = path + ": cannot open the profile: " + opened.problem;
        return std::nullopt;
    }
    // One byte past the limit shows a file that is too large, even one that grew meanwhile.
    std::string text(kMaxProfileBytes + 1, '\0');
    const ssize_t got = readFullyAt(opened.fd.get(), text.data(), text.size(), 0);
    if (got < 0) {
        error = path + ": cannot read the profile: " + std::strerror(errno);
        return std::nullopt;
    }
    if (size_t(got) > kMaxProfileBytes) {
        error = path + ": more than the " + std::to_string(kMaxProfileBytes) +
                " bytes a profile may have";
        return std::nullopt;
    }
    text.resize(size_t(got));
    std::string why;
    std::optional<RequirementProfile> profile = parseRequirementProfile(text, why);
    if (!profile) error = path + ": " + why;
    return profile;
}

} // namespace walkmere

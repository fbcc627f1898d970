#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere {

// What the network must carry, as the levels a survey is judged against. Every spot of the
// surveyed area passes when all four requirements hold there.
struct RequirementProfile {
    std::string name;
    double primary = -70;            // dBm: the strongest access point at least this
    std::optional<double> secondary; // dBm: the second strongest at least this; nothing when
                                     // it is not required
    int accessPointCount = 1;        // at least this many access points heard ...
    double accessPointLevel = -70;   // ... at this level (dBm) or stronger
    int coChannelLimit = 3; // at most this many others on the serving channel at kOverlapLevel
                            // or stronger
};

// data, voice and location: the usual profiles of a design for web and mail, for calls that
// roam, and for finding clients by the access points that hear them.
const std::vector<RequirementProfile>& builtInProfiles();
std::optional<RequirementProfile> builtInProfile(std::string_view name);

// The profile as JSON, the form a profile file takes:
// {"name": "voice", "primary": -67, "secondary": -67, "accessPoints": {"count": 2, "at": -67},
//  "coChannel": 2}; "secondary" is null where it is not required.
std::string profileJson(const RequirementProfile& profile);

// The largest profile file read, and the limits of its numbers.
inline constexpr size_t kMaxProfileBytes = 64 * 1024;
inline constexpr double kLowestProfileLevel = -120; // dBm
inline constexpr double kHighestProfileLevel = 0;   // dBm
inline constexpr int kMostProfileAccessPoints = 32;
inline constexpr size_t kLongestProfileName = 40;

// Reads a profile from JSON text. Nothing, with "KEY: reason" in `error`, for one that is
// damaged: bad JSON, a key given twice, a missing, mistyped or unknown key, a number out of
// range, an empty or overlong name or one with a control character. "secondary" may be left
// out or null: not required.
std::optional<RequirementProfile> parseRequirementProfile(std::string_view json,
                                                          std::string& error);
// The same from a file: a regular file of at most kMaxProfileBytes. The error starts with the
// file's name as given.
std::optional<RequirementProfile> loadRequirementProfile(const std::string& path,
                                                         std::string& error);

} // namespace walkmere

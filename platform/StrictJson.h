#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace walkmere {

// The readers of the program's small JSON files (a site model, a requirement profile) stop
// at the first fault: it is thrown as a JsonRefusal inside the reader and caught at its top,
// so that nothing of a file that has one is kept.
struct JsonRefusal {
    std::string text;
};

// Throws "PATH: REASON" (just REASON when the path is empty).
[[noreturn]] void refuseJson(const std::string& path, const std::string& reason);

// The path to a member or to an element, as messages name them: "accessPoints[2].radios".
std::string jsonMemberPath(const std::string& path, const std::string& key);
std::string jsonElementPath(const std::string& path, size_t index);

// What a value is in a message: "an object", "a string", "true or false", ...
const char* jsonKind(const nlohmann::json& value);

// A limit as JSON writes it, less the ".0" it puts after a whole double: "-20", "0.1".
std::string jsonLimitText(double v);

// A number within [low, high], or a refusal naming the limits and `unit` after them:
// "812 is out of range (-20 to 40 dBm)". NaN and infinities never pass.
double jsonNumber(const nlohmann::json& value, const std::string& path, double low, double high,
                  const char* unit);
// `value` itself when it is an array, else a refusal.
const nlohmann::json& jsonArray(const nlohmann::json& value, const std::string& path);

// One JSON object of a file: its keys are checked against the ones it may have before any is
// read, so that a misspelt key is named rather than taken for a missing one. `what` names
// the object in that message: "not a key of a radio (band, channel, power, bss)".
class JsonObjectReader {
public:
    JsonObjectReader(const nlohmann::json& object, std::string path, const char* what,
                     std::initializer_list<const char*> keys);

    const nlohmann::json* optional(const char* key) const;
    const nlohmann::json& required(const char* key) const; // refuses "PATH.KEY: missing"
    std::string at(const char* key) const { return jsonMemberPath(path, key); }

private:
    const nlohmann::json& object;
    std::string path;
};

// Parses `text`, refusing what the JSON reader would take without a word: a key given twice
// in one object ("PATH: given twice", the path naming array elements by index), and turning
// a syntax fault into "not JSON: line 2, column 5: ...". Both are thrown as JsonRefusal.
nlohmann::json parseStrictJson(std::string_view text);

// A small regular file read whole through openRegularFile. The size is looked at before the
// read, and one byte past the limit is read, so that a file that grew meanwhile is still
// found too large. `what` names the file in the problem: "the profile".
struct SmallFileRead {
    enum class Fault { None, CannotOpen, CannotRead, TooLarge };
    Fault fault = Fault::None;
    std::string text;    // the whole file when read
    std::string problem; // "cannot open the profile: No such file or directory", "cannot read ..."
    uint64_t size = 0;   // when too large: the size found, more than the limit
};
SmallFileRead readSmallRegularFile(const std::string& path, size_t maxBytes, const char* what);

} // namespace walkmere

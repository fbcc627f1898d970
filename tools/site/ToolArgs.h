#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace walkmere::sitetool {

// The values a numeric option takes, both ends included.
struct NumberRange {
    double least;
    double most;
};
// "0.001 to 1000000", for messages.
std::string rangeText(NumberRange range);

struct OptionRule {
    std::string_view name; // "-o", "--scale-x", "--json"
    bool takesValue;
    bool repeatable = false; // may be given more than once (values)
};

// The arguments of one command: positional arguments and options, "--opt VALUE" or
// "--opt=VALUE". "--" ends the options. Unknown or repeated options, and options missing
// their value, are usage errors (UsageError).
class ToolArgs {
public:
    ToolArgs(const std::vector<std::string>& args, std::initializer_list<OptionRule> rules);

    const std::vector<std::string>& positional() const { return plain; }
    bool has(std::string_view option) const;
    std::optional<std::string> value(std::string_view option) const;
    // Every value of a repeatable option, in the order given.
    std::vector<std::string> values(std::string_view option) const;

    // The only positional argument, named `what` in the error when it is missing or
    // followed by others.
    const std::string& single(std::string_view what) const;
    // A required option's value.
    const std::string& required(std::string_view option) const;
    // A number within `range`, or `fallback` when the option is absent. Anything else
    // (words, inf, nan, a value out of range) is a usage error that names the range.
    double number(std::string_view option, double fallback, NumberRange range) const;
    // A whole number from 1 to `most`, or nothing when the option is absent.
    std::optional<uint32_t> positiveInteger(std::string_view option, uint32_t most) const;

private:
    std::vector<std::string> plain;
    std::map<std::string, std::string, std::less<>> options;
    std::map<std::string, std::vector<std::string>, std::less<>> repeated;
};

} // namespace walkmere::sitetool

#include "tools/site/ToolArgs.h"

#include "tools/site/SiteCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace walkmere::sitetool {

std::string rangeText(NumberRange range) {
    char text[80];
    std::snprintf(text, sizeof text, "%.15g to %.15g", range.least, range.most);
    return text;
}

ToolArgs::ToolArgs(const std::vector<std::string>& args, std::initializer_list<OptionRule> rules) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            plain.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = nullptr;
        for (const OptionRule& s : rules)
            if (s.name == name) rule = &s;
        if (!rule) throw UsageError("unknown option '" + name + "'");
        if (options.count(name) && !rule->repeatable)
            throw UsageError("option '" + name + "' given twice");

        std::string value;
        if (rule->takesValue) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                throw UsageError("option '" + name + "' needs a value");
        } else if (equals != std::string::npos) {
            throw UsageError("option '" + name + "' takes no value");
        }
        if (rule->repeatable) repeated[name].push_back(value);
        options.emplace(name, std::move(value));
    }
}

bool ToolArgs::has(std::string_view option) const {
    return options.find(option) != options.end();
}

std::optional<std::string> ToolArgs::value(std::string_view option) const {
    auto it = options.find(option);
    if (it == options.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> ToolArgs::values(std::string_view option) const {
    auto it = repeated.find(option);
    return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

const std::string& ToolArgs::single(std::string_view what) const {
    if (plain.empty()) throw UsageError("missing " + std::string(what));
    if (plain.size() > 1) throw UsageError("unexpected argument '" + plain[1] + "'");
    return plain.front();
}

const std::string& ToolArgs::required(std::string_view option) const {
    auto it = options.find(option);
    if (it == options.end()) throw UsageError("missing option '" + std::string(option) + "'");
    if (it->second.empty()) throw UsageError("option '" + std::string(option) + "' needs a value");
    return it->second;
}

double ToolArgs::number(std::string_view option, double fallback, NumberRange range) const {
    auto text = value(option);
    if (!text) return fallback;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    // NaN fails both comparisons; ERANGE is an overflow, or an underflow to about 0.
    if (text->empty() || *end != '\0' || errno == ERANGE || !(v >= range.least) ||
        !(v <= range.most)) {
        throw UsageError("option '" + std::string(option) + "' needs a number from " +
                         rangeText(range) + ", not '" + *text + "'");
    }
    return v;
}

std::optional<uint32_t> ToolArgs::positiveInteger(std::string_view option, uint32_t most) const {
    auto text = value(option);
    if (!text) return std::nullopt;
    uint64_t v = 0;
    bool digits = !text->empty();
    for (char c : *text) {
        if (c < '0' || c > '9' || v > most) {
            digits = false;
            break;
        }
        v = v * 10 + uint64_t(c - '0');
    }
    if (!digits || v == 0 || v > most)
        throw UsageError("option '" + std::string(option) + "' needs a whole number from 1 to " +
                         std::to_string(most) + ", not '" + *text + "'");
    return static_cast<uint32_t>(v);
}

} // namespace walkmere::sitetool

#include "platform/StrictJson.h"

#include "platform/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace walkmere {

using Json = nlohmann::json;

void refuseJson(const std::string& path, const std::string& reason) {
    throw JsonRefusal{path.empty() ? reason : path + ": " + reason};
}

std::string jsonMemberPath(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string jsonElementPath(const std::string& path, size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

const char* jsonKind(const Json& value) {
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

std::string jsonLimitText(double v) {
    std::string text = Json(v).dump();
    if (text.ends_with(".0")) text.resize(text.size() - 2);
    return text;
}

double jsonNumber(const Json& value, const std::string& path, double low, double high,
                  const char* unit) {
    if (!value.is_number())
        refuseJson(path, std::string("must be a number, not ") + jsonKind(value));
    const double v = value.get<double>();
    if (!(v >= low && v <= high)) {
        std::string limits = jsonLimitText(low) + " to " + jsonLimitText(high);
        if (*unit) limits += std::string(" ") + unit;
        refuseJson(path, value.dump() + " is out of range (" + limits + ")");
    }
    return v;
}

const Json& jsonArray(const Json& value, const std::string& path) {
    if (!value.is_array())
        refuseJson(path, std::string("must be an array, not ") + jsonKind(value));
    return value;
}

JsonObjectReader::JsonObjectReader(const Json& object, std::string path, const char* what,
                                   std::initializer_list<const char*> keys)
    : object(object), path(std::move(path)) {
    if (!object.is_object())
        refuseJson(this->path, std::string("must be an object, not ") + jsonKind(object));
    for (const auto& [key, value] : object.items()) {
        bool known = false;
        for (const char* k : keys)
            known = known || key == k;
        if (known) continue;
        std::string list;
        for (const char* k : keys)
            list += (list.empty() ? "" : ", ") + std::string(k);
        refuseJson(jsonMemberPath(this->path, key),
                   std::string("not a key of ") + what + " (" + list + ")");
    }
}

const Json* JsonObjectReader::optional(const char* key) const {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const Json& JsonObjectReader::required(const char* key) const {
    const Json* value = optional(key);
    if (!value) refuseJson(jsonMemberPath(path, key), "missing");
    return *value;
}

namespace {

// Watches the parser's events for a key given twice in one object (the JSON reader would
// keep the last of them without a word), and keeps the path to it.
class DuplicateKeys {
public:
    bool event(Json::parse_event_t event, const Json& parsed) {
        using E = Json::parse_event_t;
        switch (event) {
        case E::object_start:
        case E::array_start:
            countElement();
            frames.push_back({event == E::array_start, 0, {}, {}});
            break;
        case E::key: {
            Frame& top = frames.back();
            top.key = parsed.get<std::string>();
            if (!top.keys.insert(top.key).second && found.empty()) found = path();
            break;
        }
        case E::value:
            countElement();
            break;
        case E::object_end:
        case E::array_end:
            frames.pop_back();
            break;
        }
        return true;
    }
    const std::string& first() const { return found; }

private:
    struct Frame {
        bool array = false;
        size_t elements = 0;
        std::string key;
        std::set<std::string> keys;
    };

    void countElement() {
        if (!frames.empty() && frames.back().array) ++frames.back().elements;
    }
    std::string path() const {
        std::string out;
        for (const Frame& f : frames)
            out = f.array ? jsonElementPath(out, f.elements - 1) : jsonMemberPath(out, f.key);
        return out;
    }

    std::vector<Frame> frames;
    std::string found;
};

} // namespace

Json parseStrictJson(std::string_view text) {
    DuplicateKeys duplicates;
    Json root;
    try {
        root = Json::parse(text.begin(), text.end(),
                           [&](int, Json::parse_event_t event, Json& parsed) {
                               return duplicates.event(event, parsed);
                           });
    } catch (const Json::exception& e) {
        // "[json.exception.parse_error.101] parse error at line 2, column 5: syntax error ..."
        std::string what = e.what();
        const size_t at = what.find(" at line ");
        what = at == std::string::npos ? what.substr(what.find(']') + 1) : what.substr(at + 4);
        while (!what.empty() && what.front() == ' ')
            what.erase(0, 1);
        throw JsonRefusal{"not JSON: " + what};
    }
    if (!duplicates.first().empty()) refuseJson(duplicates.first(), "given twice");
    return root;
}

SmallFileRead readSmallRegularFile(const std::string& path, size_t maxBytes, const char* what) {
    SmallFileRead out;
    const RegularFileOpening opened = openRegularFile(path, O_RDONLY);
    if (!opened.fd.valid()) {
        out.fault = SmallFileRead::Fault::CannotOpen;
        out.problem = std::string("cannot open ") + what + ": " + opened.problem;
        return out;
    }
    struct stat st {};
    if (::fstat(opened.fd.get(), &st) == 0 && static_cast<uint64_t>(st.st_size) > maxBytes) {
        out.fault = SmallFileRead::Fault::TooLarge;
        out.size = static_cast<uint64_t>(st.st_size);
        return out;
    }
    out.text.resize(maxBytes + 1);
    size_t done = 0;
    while (done < out.text.size()) {
        const ssize_t n = ::read(opened.fd.get(), out.text.data() + done, out.text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.fault = SmallFileRead::Fault::CannotRead;
            out.problem = std::string("cannot read ") + what + ": " + std::strerror(errno);
            out.text.clear();
            return out;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    out.text.resize(done);
    if (done > maxBytes) {
        out.fault = SmallFileRead::Fault::TooLarge;
        out.size = done;
        out.text.clear();
    }
    return out;
}

} // namespace walkmere

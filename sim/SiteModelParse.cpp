#include "sim/SiteModel.h"

#include "platform/StrictJson.h"

#include <limits>
#include <map>
#include <nlohmann/json.hpp>

namespace walkmere::sim {

namespace {

using Json = nlohmann::json;

// The limits of a number in a message: "-20 to 40 dBm".
struct Range {
    double low;
    double high;
    const char* unit;
};

double number(const Json& value, const std::string& path, const Range& range) {
    return jsonNumber(value, path, range.low, range.high, range.unit);
}

// A number written without a fraction or exponent, within [low, high].
int64_t wholeNumber(const Json& value, const std::string& path, int64_t low, int64_t high) {
    if (!value.is_number_integer())
        refuseJson(path, value.is_number()
                             ? value.dump() + " is not a whole number"
                             : std::string("must be a whole number, not ") + jsonKind(value));
    const bool inRange = value.is_number_unsigned()
                             ? value.get<uint64_t>() <= static_cast<uint64_t>(high) &&
                                   static_cast<int64_t>(value.get<uint64_t>()) >= low
                             : value.get<int64_t>() >= low && value.get<int64_t>() <= high;
    if (!inRange)
        refuseJson(path, value.dump() + " is out of range (" + std::to_string(low) + " to " +
                             std::to_string(high) + ")");
    return value.get<int64_t>();
}

// Any whole number from 0 to 2^64 - 1.
uint64_t seedNumber(const Json& value, const std::string& path) {
    if (value.is_number_unsigned()) return value.get<uint64_t>();
    if (value.is_number_integer())
        refuseJson(path, value.dump() + " is out of range (0 to " +
                             std::to_string(std::numeric_limits<uint64_t>::max()) + ")");
    wholeNumber(value, path, 0, 0); // refuses it
    return 0;
}

std::string text(const Json& value, const std::string& path) {
    if (!value.is_string())
        refuseJson(path, std::string("must be a string, not ") + jsonKind(value));
    const std::string& s = value.get_ref<const std::string&>();
    if (s.find('\0') != std::string::npos) refuseJson(path, "holds a NUL character");
    return s;
}

const Range kPower{-20, 40, "dBm"};
const Range kReferenceLoss{0, 120, "dB"};
const Range kExponent{1, 8, ""};
const Range kWallLoss{0, 100, "dB"};
const Range kSigma{0, 30, "dB"};
const Range kCorrelation{0.1, 10000, "m"};
const Range kFluctuation{0, 30, "dB"};
const Range kNoiseFloor{-150, 0, "dBm"};
const Range kPosition{-1e9, 1e9, "pixels"};

std::optional<Bssid> parseBssid(const std::string& s) {
    if (s.size() != 17) return std::nullopt;
    Bssid out{};
    for (size_t i = 0; i < 6; ++i) {
        if (i > 0 && s[3 * i - 1] != ':') return std::nullopt;
        unsigned value = 0;
        for (size_t k = 0; k < 2; ++k) {
            const char c = s[3 * i + k];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        out[i] = static_cast<uint8_t>(value);
    }
    return out;
}

class ModelParser {
public:
    SiteModel read(const Json& root) {
        if (!root.is_object())
            refuseJson("", std::string("a site model is a JSON object, not ") + jsonKind(root));
        JsonObjectReader top(root, "", "a site model",
                             {"version", "site", "units", "accessPoints", "propagation"});
        if (const Json* v = top.optional("version");
            v && wholeNumber(*v, "version", 0, 1 << 30) != 1)
            refuseJson("version", v->dump() + " is not a version read here (1)");
        model.sitePath = text(top.required("site"), "site");
        if (model.sitePath.empty())
            refuseJson("site", "is empty (the site file, such as \"office.kvs\")");
        if (const Json* v = top.optional("units")) {
            const std::string unit = text(*v, "units");
            if (unit == "ft")
                model.unit = LengthUnit::Feet;
            else if (unit != "m")
                refuseJson("units", "\"" + unit + "\" is not a unit (\"m\" or \"ft\")");
        }
        readAccessPoints(jsonArray(top.required("accessPoints"), "accessPoints"));
        if (const Json* v = top.optional("propagation")) readPropagation(*v);
        return std::move(model);
    }

private:
    void readAccessPoints(const Json& list) {
        if (list.empty()) refuseJson("accessPoints", "a model needs at least one access point");
        if (list.size() > kMaxModelAccessPoints)
            refuseJson("accessPoints",
                       std::to_string(list.size()) + " access points, more than the " +
                           std::to_string(kMaxModelAccessPoints) + " a model may have");
        std::map<std::string, std::string> names; // name -> where it was given first
        for (size_t i = 0; i < list.size(); ++i) {
            const std::string path = jsonElementPath("accessPoints", i);
            JsonObjectReader ap(list[i], path, "an access point", {"name", "x", "y", "radios"});
            ModelAccessPoint out;
            out.name = text(ap.required("name"), ap.at("name"));
            if (out.name.empty()) refuseJson(ap.at("name"), "is empty");
            if (const auto [it, fresh] = names.emplace(out.name, path); !fresh)
                refuseJson(ap.at("name"),
                           "\"" + out.name + "\" is already the name of " + it->second);
            out.x = number(ap.required("x"), ap.at("x"), kPosition);
            out.y = number(ap.required("y"), ap.at("y"), kPosition);
            const Json& radios = jsonArray(ap.required("radios"), ap.at("radios"));
            if (radios.empty())
                refuseJson(ap.at("radios"), "an access point needs at least one radio");
            if (radios.size() > kMaxAccessPointRadios)
                refuseJson(ap.at("radios"),
                           std::to_string(radios.size()) + " radios, more than the " +
                               std::to_string(kMaxAccessPointRadios) + " an access point may have");
            for (size_t r = 0; r < radios.size(); ++r)
                out.radios.push_back(readRadio(radios[r], jsonElementPath(ap.at("radios"), r)));
            model.accessPoints.push_back(std::move(out));
        }
    }

    ModelRadio readRadio(const Json& value, const std::string& path) {
        JsonObjectReader radio(value, path, "a radio", {"band", "channel", "power", "bss"});
        ModelRadio out;
        const std::string word = text(radio.required("band"), radio.at("band"));
        const std::optional<RadioBand> band = bandNamed(word);
        if (!band)
            refuseJson(radio.at("band"),
                       "\"" + word + "\" is not a band (\"2.4\", \"5\" or \"6\")");
        out.band = *band;
        const Json& channel = radio.required("channel");
        out.channel =
            static_cast<int>(wholeNumber(channel, radio.at("channel"), -(1 << 30), 1 << 30));
        if (!channelExists(out.band, out.channel))
            refuseJson(radio.at("channel"), channel.dump() + " is not a " + bandWord(out.band) +
                                                " GHz channel (" + bandChannelsText(out.band) +
                                                ")");
        if (const Json* v = radio.optional("power"))
            out.powerDbm = number(*v, radio.at("power"), kPower);
        const Json& networks = jsonArray(radio.required("bss"), radio.at("bss"));
        if (networks.empty()) refuseJson(radio.at("bss"), "a radio needs at least one network");
        if (networks.size() > kMaxRadioBss)
            refuseJson(radio.at("bss"), std::to_string(networks.size()) +
                                            " networks, more than the " +
                                            std::to_string(kMaxRadioBss) + " a radio may send");
        for (size_t b = 0; b < networks.size(); ++b)
            out.bss.push_back(readBss(networks[b], jsonElementPath(radio.at("bss"), b)));
        return out;
    }

    ModelBss readBss(const Json& value, const std::string& path) {
        JsonObjectReader bss(value, path, "a network", {"bssid", "ssid"});
        ModelBss out;
        const std::string written = text(bss.required("bssid"), bss.at("bssid"));
        const std::optional<Bssid> bssid = parseBssid(written);
        if (!bssid)
            refuseJson(bss.at("bssid"),
                       "\"" + written + "\" is not a BSSID (six hex pairs: \"00:11:22:33:44:55\")");
        if ((*bssid)[0] & 1)
            refuseJson(bss.at("bssid"), written + " is a group address, not a BSSID");
        if (*bssid == Bssid{}) refuseJson(bss.at("bssid"), written + " is not a BSSID (all zero)");
        if (const auto [it, fresh] = bssids.emplace(*bssid, path); !fresh)
            refuseJson(bss.at("bssid"), bssidText(*bssid) + " is already " + it->second);
        out.bssid = *bssid;
        out.ssid = text(bss.required("ssid"), bss.at("ssid"));
        if (out.ssid.size() > 32)
            refuseJson(bss.at("ssid"), std::to_string(out.ssid.size()) +
                                           " bytes, more than the 32 an SSID may have");
        return out;
    }

    void readPerBand(const Json& value, const std::string& path, const Range& range, PerBand& out) {
        JsonObjectReader bands(value, path, "a value per band", {"2.4", "5", "6"});
        for (RadioBand band : kBands)
            if (const Json* v = bands.optional(bandWord(band)))
                out[band] = number(*v, bands.at(bandWord(band)), range);
    }

    void readPropagation(const Json& value) {
        Propagation& p = model.propagation;
        JsonObjectReader prop(
            value, "propagation", "the propagation",
            {"referenceLoss", "exponent", "walls", "shadowing", "fluctuation", "noiseFloor"});
        if (const Json* v = prop.optional("referenceLoss"))
            readPerBand(*v, prop.at("referenceLoss"), kReferenceLoss, p.referenceLossDb);
        if (const Json* v = prop.optional("exponent"))
            p.exponent = number(*v, prop.at("exponent"), kExponent);
        if (const Json* v = prop.optional("walls")) {
            JsonObjectReader walls(*v, prop.at("walls"), "the walls", {"threshold", "loss"});
            if (const Json* t = walls.optional("threshold"))
                p.wallThreshold = static_cast<int>(wholeNumber(*t, walls.at("threshold"), 0, 255));
            if (const Json* l = walls.optional("loss"))
                p.wallLossDb = number(*l, walls.at("loss"), kWallLoss);
        }
        if (const Json* v = prop.optional("shadowing")) {
            JsonObjectReader shadowing(*v, prop.at("shadowing"), "the shadowing",
                                       {"sigma", "distance", "seed"});
            if (const Json* s = shadowing.optional("sigma"))
                p.shadowingSigmaDb = number(*s, shadowing.at("sigma"), kSigma);
            if (const Json* d = shadowing.optional("distance"))
                p.shadowingDistanceM = number(*d, shadowing.at("distance"), kCorrelation);
            if (const Json* s = shadowing.optional("seed"))
                p.seed = seedNumber(*s, shadowing.at("seed"));
        }
        if (const Json* v = prop.optional("fluctuation"))
            p.fluctuationDb = number(*v, prop.at("fluctuation"), kFluctuation);
        if (const Json* v = prop.optional("noiseFloor"))
            readPerBand(*v, prop.at("noiseFloor"), kNoiseFloor, p.noiseFloorDbm);
    }

    SiteModel model;
    std::map<Bssid, std::string> bssids; // where each was given first
};

} // namespace

std::optional<SiteModel> parseSiteModel(std::string_view json, std::string& error) {
    try {
        return ModelParser().read(parseStrictJson(json));
    } catch (const JsonRefusal& r) {
        error = r.text;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to read the model";
    }
    return std::nullopt;
}

} // namespace walkmere::sim

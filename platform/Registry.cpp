#include "platform/Registry.h"

#include <cstdlib>

namespace walkmere {

namespace {

// Registry names compare without regard to (ASCII) case.
std::string fold(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// "a\\b\\c" -> "a\\b"; "a" -> "".
std::string parentOf(const std::string& path) {
    size_t cut = path.rfind('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string leafOf(const std::string& path) {
    size_t cut = path.rfind('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Drops leading, trailing and doubled backslashes so that every spelling of a path folds
// to the same map key.
std::string normalise(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

} // namespace

void MemoryRegistry::addKey(const std::string& rawPath) {
    std::string path = normalise(rawPath);
    if (keys.count(fold(path))) return;
    if (!path.empty()) {
        std::string parent = parentOf(path);
        addKey(parent);
        keys[fold(parent)].children.push_back(leafOf(path));
    }
    keys[fold(path)];
}

void MemoryRegistry::setString(const std::string& path, const std::string& valueName,
                               const std::string& value) {
    addKey(path);
    keys[fold(normalise(path))].values[fold(valueName)] = value;
}

bool MemoryRegistry::hasKey(const std::string& path) const {
    return find(path) != nullptr;
}

const MemoryRegistry::Key* MemoryRegistry::find(const std::string& path) const {
    auto it = keys.find(fold(normalise(path)));
    return it == keys.end() ? nullptr : &it->second;
}

std::optional<RegistryKey> MemoryRegistry::openKey(const std::string& path) const {
    if (!find(path)) return std::nullopt;
    return RegistryKey{normalise(path)};
}

long MemoryRegistry::enumKey(const RegistryKey& key, uint32_t index, std::string& name) const {
    const Key* k = find(key.path);
    if (!k) return kRegistryNotFound;
    if (index >= k->children.size()) return kRegistryNoMoreItems;
    name = k->children[index];
    return kRegistrySuccess;
}

std::optional<std::string> MemoryRegistry::queryString(const RegistryKey& key,
                                                       const std::string& valueName) const {
    const Key* k = find(key.path);
    if (!k) return std::nullopt;
    auto it = k->values.find(fold(valueName));
    if (it == k->values.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> registryFilePath(const std::optional<std::string>& optionValue) {
    if (optionValue && !optionValue->empty()) return optionValue;
    const char* env = std::getenv("WALKMERE_REGISTRY");
    if (env && *env) return std::string(env);
    return std::nullopt;
}

std::unique_ptr<MemoryRegistry> loadRegistry(const std::optional<std::string>& file,
                                             std::string& error,
                                             const std::filesystem::path& sysfsRoot) {
    error.clear();
    auto registry = std::make_unique<MemoryRegistry>();
    if (file) {
        MemoryRegistry fromFile;
        if (loadRegistryFile(*file, fromFile, error)) *registry = std::move(fromFile);
    }
    addSysfsSerialKeys(*registry, sysfsRoot);
    return registry;
}

} // namespace walkmere

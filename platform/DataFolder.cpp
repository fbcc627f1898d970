#include "platform/DataFolder.h"

#include <cstdlib>

namespace walkmere {

namespace {

const char* nonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

} // namespace

std::filesystem::path dataFolder() {
    if (const char* home = nonEmptyEnv("WALKMERE_HOME")) return home;
    if (const char* xdg = nonEmptyEnv("XDG_DATA_HOME"))
        return std::filesystem::path(xdg) / "walkmere";
    const char* userHome = nonEmptyEnv("HOME");
    return std::filesystem::path(userHome ? userHome : ".") / ".local" / "share" / "walkmere";
}

} // namespace walkmere

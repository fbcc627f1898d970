#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "testkit/TempDir.h"

namespace walkmere::testkit {

// Points WALKMERE_HOME at a fresh temporary folder while it lives, so that what the program
// keeps in its data folder (safety copies of site files) never lands in the real home.
class ScopedDataHome {
public:
    ScopedDataHome() {
        if (const char* old = std::getenv("WALKMERE_HOME")) previous = old;
        setenv("WALKMERE_HOME", path().c_str(), 1);
    }
    ~ScopedDataHome() {
        if (previous) setenv("WALKMERE_HOME", previous->c_str(), 1);
        if (!previous) unsetenv("WALKMERE_HOME");
    }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

    std::filesystem::path path() const { return dir.file("data"); }
    std::filesystem::path repaired() const { return path() / "repaired"; }

private:
    TempDir dir;
    std::optional<std::string> previous;
};

} // namespace walkmere::testkit

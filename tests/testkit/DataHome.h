#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "testkit/TempDir.h"

namespace walkmere::testkit {

// Points WALKMERE_HOME at a fresh temporary folder while it lives, so that what the program
// keeps in its data folder (safety copies of site files, the snapshot counter) never lands
// in the real home; the previous value comes back afterwards.
class ScopedDataHome {
public:
    ScopedDataHome();
    ~ScopedDataHome();
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

    std::filesystem::path path() const { return dir.file("data"); }
    std::filesystem::path repaired() const { return path() / "repaired"; }

private:
    TempDir dir;
    std::optional<std::string> previous;
};

} // namespace walkmere::testkit

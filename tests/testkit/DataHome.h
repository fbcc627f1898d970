#pragma once

#include <filesystem>

#include "testkit/ScopedEnv.h"
#include "testkit/TempDir.h"

namespace walkmere::testkit {

// Points WALKMERE_HOME at a fresh temporary folder while it lives, so that what the program
// keeps in its data folder (safety copies of site files) never lands in the real home.
class ScopedDataHome {
public:
    std::filesystem::path path() const { return dir.file("data"); }
    std::filesystem::path repaired() const { return path() / "repaired"; }
    std::filesystem::path discarded() const { return path() / "discarded"; }

private:
    TempDir dir;
    ScopedEnv env{"WALKMERE_HOME", path().string()};
};

} // namespace walkmere::testkit

#pragma once

#include <filesystem>

namespace walkmere {

// The program's data folder: WALKMERE_HOME, else $XDG_DATA_HOME/walkmere, else
// ~/.local/share/walkmere. Not created here. Snapshots, their counter and the safety
// copies of site files (discarded/, repaired/) live there.
std::filesystem::path dataFolder();

} // namespace walkmere

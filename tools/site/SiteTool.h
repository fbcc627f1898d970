#pragma once

#include <ostream>

namespace walkmere::sitetool {

// The whole site tool: argv as main() gets it, output and errors to the given streams.
// Returns the exit code (0 success, 1 file refused or unusable, 2 wrong usage).
int runSiteTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace walkmere::sitetool

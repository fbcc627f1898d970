// The test program runs at UI scale 2, as `--scale 2` runs the program: set before the
// application exists.
#include <QtGlobal>

namespace {
const bool scaled = qputenv("QT_SCALE_FACTOR", "2");
} // namespace

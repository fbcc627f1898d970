#include "testkit/DataHome.h"

#include <cstdlib>

namespace walkmere::testkit {

ScopedDataHome::ScopedDataHome() {
    if (const char* old = std::getenv("WALKMERE_HOME")) previous = old;
    setenv("WALKMERE_HOME", path().c_str(), 1);
}

ScopedDataHome::~ScopedDataHome() {
    if (previous)
        setenv("WALKMERE_HOME", previous->c_str(), 1);
    else
        unsetenv("WALKMERE_HOME");
}

} // namespace walkmere::testkit

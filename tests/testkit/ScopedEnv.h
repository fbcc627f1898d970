#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace walkmere::testkit {

// Sets (or, with no value, removes) an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value) : name(std::move(name)) {
        if (const char* old = std::getenv(this->name.c_str())) saved = old;
        if (value)
            ::setenv(this->name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(this->name.c_str());
    }
    ~ScopedEnv() {
        if (saved)
            ::setenv(name.c_str(), saved->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name;
    std::optional<std::string> saved;
};

} // namespace walkmere::testkit

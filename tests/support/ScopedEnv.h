#pragma once
// An environment variable set for the life of a scope, then removed.

#include <cstdlib>
#include <string>

namespace quill::test {

struct ScopedEnv {
    const char* name;
    ScopedEnv(const char* variable, const std::string& value) : name(variable) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(name); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
};

} // namespace quill::test

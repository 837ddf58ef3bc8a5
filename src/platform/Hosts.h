#pragma once
// Hosts the program talks to. Each has a default and can be replaced through one environment
// variable, so tests point them at loopback servers.

#include <string>

namespace quill {

// The value of `variable` when set and not empty, else `fallback`.
std::string hostFromEnvironment(const char* variable, const char* fallback);

// The maker's web server: advertisement, update manifest and version document.
std::string makerHost();

// The maker's site address as the window's caption shows it.
std::string makerSiteAddress();

} // namespace quill

#pragma once
// The public half of the project's release key: only manifests signed with its secret half, which
// the maintainer keeps off this repository, are installed (docs/releasing.md).

#include <string_view>

namespace quill {

inline constexpr std::string_view kReleasePublicKeyHex =
    "e062e5b6de7ed9987e64f68998ca12d8b7940e6fac9aecc22ca9470da5434714";

} // namespace quill

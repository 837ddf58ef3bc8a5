#pragma once
// Ed25519 signatures of update manifests and SHA-256 hashes of downloads (libsodium).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

using PublicKey = std::array<unsigned char, 32>;

// The key of 64 hexadecimal digits; nothing for any other text.
std::optional<PublicKey> parsePublicKey(std::string_view hex);

// The release key built into the program.
PublicKey releasePublicKey();

// True when `signatureText` (the base64 text of 64 signature bytes, blanks and line breaks around
// it allowed) is `key`'s signature of exactly the bytes of `message`.
bool verifySignature(std::string_view message, std::string_view signatureText, const PublicKey& key);

// The SHA-256 of the file at `path` as 64 lower-case hexadecimal digits, read in blocks; nothing
// when it cannot be read.
std::optional<std::string> fileSha256(const std::string& path);

} // namespace quill

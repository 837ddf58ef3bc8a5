#include "update/UpdateSignature.h"

#include "platform/GbkText.h"
#include "update/ReleaseKey.h"

#include <sodium.h>

#include <cerrno>
#include <fcntl.h>
#include <vector>
#include <unistd.h>

namespace quill {
namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

std::optional<PublicKey> parsePublicKey(std::string_view hex)
{
    PublicKey key{};
    size_t length = 0;
    const char* end = nullptr;
    if (!sodiumReady() || hex.size() != 2 * key.size() ||
        sodium_hex2bin(key.data(), key.size(), hex.data(), hex.size(), nullptr, &length, &end) != 0 ||
        length != key.size() || end != hex.data() + hex.size())
        return std::nullopt;
    return key;
}

PublicKey releasePublicKey() { return *parsePublicKey(kReleasePublicKeyHex); }

bool verifySignature(std::string_view message, std::string_view signatureText, const PublicKey& key)
{
    signatureText = trim(signatureText);
    unsigned char signature[crypto_sign_BYTES];
    size_t length = 0;
    const char* end = nullptr;
    if (!sodiumReady() ||
        sodium_base642bin(signature, sizeof signature, signatureText.data(), signatureText.size(), nullptr, &length,
                          &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != sizeof signature || end != signatureText.data() + signatureText.size())
        return false;
    return crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key.data()) == 0;
}

std::optional<std::string> fileSha256(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !sodiumReady()) {
        if (fd >= 0)
            close(fd);
        return std::nullopt;
    }
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<unsigned char> buffer(1 << 20);
    ssize_t got = 0;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            crypto_hash_sha256_update(&state, buffer.data(), static_cast<unsigned long long>(got));
    close(fd);
    if (got < 0)
        return std::nullopt;
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, hash);
    char hex[2 * sizeof hash + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return std::string(hex);
}

} // namespace quill

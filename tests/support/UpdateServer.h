#pragma once
// A maker's update server on loopback for the updater's tests: files by path, and the manifest at
// "/Quillmarkkit/update.txt" with its detached signature, made with a test key.

#include "support/LoopbackServer.h"
#include "update/UpdateSignature.h"

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace quill::test {

// A key pair made once per test process; its public half stands in for the release key.
struct TestKey {
    PublicKey publicKey;
    std::string secretKey; // 64 bytes
    std::string publicHex;
};
const TestKey& testKey();
// Another key pair, for signatures the program must refuse.
const TestKey& otherKey();

// The base64 signature of `message` with `key`, as the release tool writes it.
std::string signatureText(std::string_view message, const TestKey& key = testKey());

// The SHA-256 of `bytes` in hexadecimal.
std::string sha256Hex(std::string_view bytes);

class UpdateServer {
public:
    // Beside the files: "/moved" redirects, "/stalled" holds its answer until the server ends,
    // "/trickle/PAUSE/COUNT" sends COUNT bytes, one every PAUSE ms.
    explicit UpdateServer(Scheme scheme = Scheme::Http);

    // Serves `bytes` at `path`.
    void serve(const std::string& path, std::string bytes);
    void remove(const std::string& path);
    // Serves `manifest` and its signature with `key` (no signature when `key` is null).
    void publish(const std::string& manifest, const TestKey* key = &testKey());

    // A manifest section for `name`, served at `path` with `bytes`, its size and hash filled in.
    std::string item(const std::string& section, const std::string& name, const std::string& path,
                     const std::string& bytes, const std::string& date = "2010-1-1");

    std::string manifestUrl() const { return m_server.url("/Quillmarkkit/update.txt"); }
    std::string url(std::string_view path) const { return m_server.url(path); }
    // How many requests reached `path`.
    int requests(const std::string& path);

private:
    LoopbackServer m_server;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_files;
    std::map<std::string, int> m_requests;
};

} // namespace quill::test

#include "support/UpdateServer.h"

#include <sodium.h>

#include <thread>

namespace quill::test {
namespace {

TestKey makeKey()
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium did not start");
    TestKey key;
    key.secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(key.publicKey.data(), reinterpret_cast<unsigned char*>(key.secretKey.data()));
    char hex[2 * crypto_sign_PUBLICKEYBYTES + 1];
    sodium_bin2hex(hex, sizeof hex, key.publicKey.data(), key.publicKey.size());
    key.publicHex = hex;
    return key;
}

} // namespace

const TestKey& testKey()
{
    static const TestKey key = makeKey();
    return key;
}

const TestKey& otherKey()
{
    static const TestKey key = makeKey();
    return key;
}

std::string signatureText(std::string_view message, const TestKey& key)
{
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         reinterpret_cast<const unsigned char*>(key.secretKey.data()));
    char text[sodium_base64_ENCODED_LEN(crypto_sign_BYTES, sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(text, sizeof text, signature, sizeof signature, sodium_base64_VARIANT_ORIGINAL);
    return std::string(text) + "\n";
}

std::string sha256Hex(std::string_view bytes)
{
    unsigned char hash[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(hash, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    char hex[2 * sizeof hash + 1];
    sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
    return hex;
}

UpdateServer::UpdateServer(Scheme scheme) : m_server(scheme)
{
    m_server->Get("/moved", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/elsewhere");
        response.set_content("<html><body>Object moved</body></html>", "text/html");
    });
    m_server->Get("/stalled", [this](const httplib::Request&, httplib::Response& response) {
        m_server.holdUntilReleased(std::chrono::seconds(60));
        response.set_content("late", "text/plain");
    });
    m_server->Get(R"(/trickle/(\d+)/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        const auto pause = std::chrono::milliseconds(std::stoi(request.matches[1]));
        const size_t count = std::stoul(request.matches[2]);
        response.set_content_provider(count, "application/octet-stream",
                                      [pause](size_t, size_t, httplib::DataSink& sink) {
                                          std::this_thread::sleep_for(pause);
                                          return sink.write("t", 1);
                                      });
    });
    m_server->Get(R"(/.+)", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        ++m_requests[request.path];
        const auto found = m_files.find(request.path);
        if (found == m_files.end())
            response.status = 404;
        else
            response.set_content(found->second, "application/octet-stream");
    });
    m_server.start();
}

void UpdateServer::serve(const std::string& path, std::string bytes)
{
    std::lock_guard lock(m_mutex);
    m_files[path] = std::move(bytes);
}

void UpdateServer::remove(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_files.erase(path);
}

void UpdateServer::publish(const std::string& manifest, const TestKey* key)
{
    serve("/Quillmarkkit/update.txt", manifest);
    if (key)
        serve("/Quillmarkkit/update.txt.sig", signatureText(manifest, *key));
    else
        remove("/Quillmarkkit/update.txt.sig");
}

std::string UpdateServer::item(const std::string& section, const std::string& name, const std::string& path,
                               const std::string& bytes, const std::string& date)
{
    serve(path, bytes);
    return "[" + section + "]\nName=" + name + "\nDate=" + date + "\nURL=" + url(path) +
           "\nBytes=" + std::to_string(bytes.size()) + "\nSHA256=" + sha256Hex(bytes) + "\n";
}

int UpdateServer::requests(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    return m_requests[path];
}

} // namespace quill::test

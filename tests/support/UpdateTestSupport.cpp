#include "support/UpdateTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quill::test {

void setDeclaredSize(const std::string& path, std::size_t entry, std::uint32_t size, bool onlyLocalHeader)
{
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        bytes = all.str();
    }
    const auto patch = [&](const std::string& signature, size_t offset) {
        size_t at = 0;
        for (std::size_t i = 0; i <= entry; ++i) {
            at = bytes.find(signature, i == 0 ? 0 : at + 4);
            if (at == std::string::npos)
                throw std::runtime_error("no such entry in " + path);
        }
        for (int b = 0; b < 4; ++b)
            bytes[at + offset + static_cast<size_t>(b)] = static_cast<char>((size >> (8 * b)) & 0xFF);
    };
    patch(std::string("PK\x03\x04", 4), 22);
    if (!onlyLocalHeader)
        patch(std::string("PK\x01\x02", 4), 24);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int runInChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace quill::test

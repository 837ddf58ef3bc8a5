// libFuzzer target: any bytes as the saved site list load without harm; an unreadable list is
// kept aside byte for byte, and what is left behind always reads back as a list.

#include "webtools/SiteList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::filesystem::path& folder()
{
    static const std::filesystem::path path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "site-list-fuzz-XXXXXX").string();
        require(mkdtemp(pattern.data()) != nullptr);
        return std::filesystem::path(pattern);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = (folder() / "test.xml").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    const quill::SiteListLoad load = quill::loadSiteList(path);
    require(load.written.ok());
    size_t aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        if (entry.path().filename() != "test.xml") {
            ++aside;
            require(readAll(entry.path()) == bytes);
        }
    require(aside == (load.keptAside ? 1u : 0u));
    require(load.wasRead || load.urls.empty());

    // Whatever is there now is a list that reads, takes an address and gives it back.
    const quill::SiteListLoad again = quill::loadSiteList(path);
    require(again.wasRead && !again.keptAside);
    require(quill::saveSiteAddress(path, "http://fuzz.test/").status.ok());
    const std::vector<std::string> urls = quill::loadSiteList(path).urls;
    require(std::find(urls.begin(), urls.end(), "http://fuzz.test/") != urls.end());
    require(quill::deleteSiteAddress(path, "http://fuzz.test/").status.ok());

    for (const auto& entry : std::filesystem::directory_iterator(folder()))
        std::filesystem::remove(entry.path());
    return 0;
}

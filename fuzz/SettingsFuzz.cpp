// libFuzzer target: any bytes as the settings file read without harm; the one-time reading gives
// what key-by-key reads give, and a write changes its own key and no other.

#include "platform/IniFile.h"
#include "settings/SettingsFile.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

const std::string& settingsPath()
{
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "settings-fuzz-XXXXXX").string();
        require(mkdtemp(pattern.data()) != nullptr);
        return pattern + "/settings.ini";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string& path = settingsPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    quill::SettingsFile settings(path);
    const quill::Settings loaded = settings.load(quill::Settings{});
    settings.readColumnWidths("lv2", 17);

    // Every section and a few keys of the file: the snapshot answers as the file does.
    const quill::IniFile ini(path);
    const quill::IniSnapshot snapshot(path);
    require(snapshot.sectionNames() == ini.sectionNames());
    const std::string keys[] = {"k", "K", "siteurl", "lvbakcolor", "a", ""};
    for (const std::string& section : snapshot.sectionNames())
        for (const std::string& key : keys)
            require(snapshot.readString(section, key, "\x01") == ini.readString(section, key, "\x01"));

    // A write sets its key and leaves the others as they read before.
    require(settings.writeSiteUrl("http://fuzz.test/").ok());
    const quill::Settings after = settings.load(quill::Settings{});
    require(after.siteUrl == "http://fuzz.test/");
    require(after.logFolder == loaded.logFolder && after.listBackground == loaded.listBackground &&
            after.listText == loaded.listText && after.hideAdvert == loaded.hideAdvert);
    return 0;
}

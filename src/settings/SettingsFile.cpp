#include "settings/SettingsFile.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <vector>

namespace quill {
namespace {

struct FilterKey {
    std::string name; // GBK
    bool FilterSnapshot::*box;
};

// Section and key names as GBK bytes, converted once.
struct Names {
    std::string basic = gbk("基本");
    std::string logFolder = gbk("日志目录");
    std::string filter = gbk("过滤");
    std::vector<FilterKey> filterKeys = {
        {gbk("图片"), &FilterSnapshot::images},
        {gbk("状态200"), &FilterSnapshot::status200},
        {gbk("蜘蛛"), &FilterSnapshot::spiders},
        {"Baidu", &FilterSnapshot::baidu},
        {"Google", &FilterSnapshot::google},
        {"SOSO", &FilterSnapshot::soso},
        {"Yahoo", &FilterSnapshot::yahoo},
        {"Sogou", &FilterSnapshot::sogou},
        {"MSN", &FilterSnapshot::msn},
        {"yodao", &FilterSnapshot::youdao},
        {"XMLHTTP", &FilterSnapshot::ownXmlHttp},
        {gbk("蜘蛛NO"), &FilterSnapshot::noSpiders},
    };
};

const Names& names()
{
    static const Names instance;
    return instance;
}

constexpr std::string_view kAdmin = "admin";
constexpr std::string_view kAd = "ad";
constexpr std::string_view kUser = "user";
constexpr std::string_view kSiteUrl = "siteurl";
constexpr std::string_view kBackground = "lvbakcolor";
constexpr std::string_view kText = "lvfontcolor";

} // namespace

SettingsFile::SettingsFile(std::string path) : m_ini(std::move(path)) {}

std::string SettingsFile::defaultPath()
{
    // File names are UTF-8 here; the source's literal already is.
    return joinPath(executableFolder(), "保存设置.ini");
}

Settings SettingsFile::load(const Settings& current) const
{
    const Names& n = names();
    Settings settings = current;
    settings.logFolder = m_ini.readString(n.basic, n.logFolder, current.logFolder);
    for (const FilterKey& key : n.filterKeys)
        settings.filters.*key.box = m_ini.readBool(n.filter, key.name, current.filters.*key.box);
    settings.hideAdvert = m_ini.readBool(kAdmin, kAd, current.hideAdvert);
    settings.siteUrl = m_ini.readString(kUser, kSiteUrl, current.siteUrl);
    auto readColour = [&](std::string_view key, TColor fallback) {
        return stringToColor(m_ini.readString(kUser, key, colorToString(fallback))).value_or(fallback);
    };
    settings.listBackground = readColour(kBackground, current.listBackground);
    settings.listText = readColour(kText, current.listText);
    return settings;
}

Status SettingsFile::writeLogFolder(const std::string& folder)
{
    return m_ini.writeString(names().basic, names().logFolder, folder);
}

Status SettingsFile::saveConfiguration(const FilterSnapshot& boxes, const std::string& siteUrl,
                                       TColor background, TColor text)
{
    const Names& n = names();
    for (const FilterKey& key : n.filterKeys)
        if (Status status = m_ini.writeBool(n.filter, key.name, boxes.*key.box); !status)
            return status;
    if (Status status = writeSiteUrl(siteUrl); !status)
        return status;
    if (Status status = m_ini.writeString(kUser, kBackground, colorToString(background)); !status)
        return status;
    return m_ini.writeString(kUser, kText, colorToString(text));
}

Status SettingsFile::writeSiteUrl(const std::string& siteUrl)
{
    return m_ini.writeString(kUser, kSiteUrl, siteUrl);
}

} // namespace quill

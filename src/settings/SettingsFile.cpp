#include "settings/SettingsFile.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
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
    std::string verification = gbk("验证");
    std::string defaultCacheFile = gbk("蜘蛛验证.txt");
    std::string cacheFile = gbk("缓存文件");
    std::string defaultListsFile = gbk("蜘蛛IP表.txt");
    std::string listsFile = gbk("蜘蛛IP表");
    std::string listsFolder = gbk("蜘蛛IP表目录");
    std::vector<std::pair<std::string, bool VerificationSettings::*>> verificationKeys = {
        {gbk("验证蜘蛛"), &VerificationSettings::verifyCrawlers},
        {gbk("只看伪装"), &VerificationSettings::onlyFakes},
        {gbk("只计已验证"), &VerificationSettings::onlyVerified},
    };
    std::string columnWidths = gbk("列宽");
    std::string ledger = gbk("抓取档案");
    std::string ledgerFile = gbk("文件");
    std::string defaultLedgerFile = gbk("抓取档案.db");
    std::string exportSection = gbk("导出");
    std::string csvVerbatim = gbk("CSV原样");
    std::string log = gbk("日志");
    std::string followLog = gbk("跟踪");
    std::string searchEncoded = gbk("含URL编码");
    std::string window = gbk("窗口");
    std::string windowLeft = gbk("左");
    std::string windowTop = gbk("上");
    std::string windowWidth = gbk("宽");
    std::string windowHeight = gbk("高");
    std::string windowMaximised = gbk("最大化");
    std::string windowPage = gbk("页");
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
constexpr std::int32_t kMaxColumnWidth = 10000;
constexpr int kMaxWindowExtent = 100000; // beyond any screen; a larger number is a damaged file

// The saved geometry when all four numbers are there and plausible.
std::optional<ScreenRect> readWindowGeometry(const IniSnapshot& ini)
{
    const Names& n = names();
    auto read = [&](const std::string& key) { return parseInteger(ini.readString(n.window, key, "")); };
    const std::optional<std::int32_t> x = read(n.windowLeft), y = read(n.windowTop), width = read(n.windowWidth),
                                      height = read(n.windowHeight);
    if (!x || !y || !width || !height)
        return std::nullopt;
    auto within = [](std::int32_t value, int low) { return value >= low && value <= kMaxWindowExtent; };
    if (!within(*x, -kMaxWindowExtent) || !within(*y, -kMaxWindowExtent) || !within(*width, 1) || !within(*height, 1))
        return std::nullopt;
    return ScreenRect{*x, *y, *width, *height};
}

} // namespace

SettingsFile::SettingsFile(std::string path) : m_ini(std::move(path)) {}

std::string SettingsFile::defaultPath()
{
    // File names are UTF-8 here; the source's literal already is.
    return joinPath(settingsFolder(), "保存设置.ini");
}

const IniSnapshot& SettingsFile::snapshot() const
{
    if (!m_snapshot)
        m_snapshot.emplace(m_ini.path());
    return *m_snapshot;
}

Settings SettingsFile::load(const Settings& current) const
{
    const Names& n = names();
    const IniSnapshot& ini = snapshot();
    Settings settings = current;
    settings.logFolder = ini.readString(n.basic, n.logFolder, current.logFolder);
    for (const FilterKey& key : n.filterKeys)
        settings.filters.*key.box = ini.readBool(n.filter, key.name, current.filters.*key.box);
    settings.hideAdvert = ini.readBool(kAdmin, kAd, current.hideAdvert);
    settings.siteUrl = ini.readString(kUser, kSiteUrl, current.siteUrl);
    auto readColour = [&](std::string_view key, ColourValue fallback) {
        return colourFromText(ini.readString(kUser, key, colourToText(fallback))).value_or(fallback);
    };
    settings.listBackground = readColour(kBackground, current.listBackground);
    settings.listText = readColour(kText, current.listText);
    for (const auto& [key, box] : n.verificationKeys)
        settings.verification.*box = ini.readBool(n.verification, key, current.verification.*box);
    settings.verification.cacheFileName =
        ini.readString(n.verification, n.cacheFile, current.verification.cacheFileName);
    settings.verification.listsFileName =
        ini.readString(n.verification, n.listsFile, current.verification.listsFileName);
    settings.verification.listsFolder = ini.readString(n.verification, n.listsFolder, current.verification.listsFolder);
    settings.csvVerbatim = ini.readBool(n.exportSection, n.csvVerbatim, current.csvVerbatim);
    settings.followLog = ini.readBool(n.log, n.followLog, current.followLog);
    settings.searchEncoded = ini.readBool(n.log, n.searchEncoded, current.searchEncoded);
    settings.window.geometry = readWindowGeometry(ini);
    if (!settings.window.geometry)
        settings.window.geometry = current.window.geometry;
    settings.window.maximised = ini.readBool(n.window, n.windowMaximised, current.window.maximised);
    settings.window.page = ini.readString(n.window, n.windowPage, current.window.page);
    return settings;
}

Status SettingsFile::writeLogFolder(const std::string& folder)
{
    forgetSnapshot();
    return m_ini.writeString(names().basic, names().logFolder, folder);
}

Status SettingsFile::saveConfiguration(const FilterSnapshot& boxes, const std::string& siteUrl,
                                       ColourValue background, ColourValue text)
{
    const Names& n = names();
    forgetSnapshot();
    for (const FilterKey& key : n.filterKeys)
        if (Status status = m_ini.writeBool(n.filter, key.name, boxes.*key.box); !status)
            return status;
    if (Status status = writeSiteUrl(siteUrl); !status)
        return status;
    if (Status status = m_ini.writeString(kUser, kBackground, colourToText(background)); !status)
        return status;
    return m_ini.writeString(kUser, kText, colourToText(text));
}

Status SettingsFile::writeFollowLog(bool on)
{
    forgetSnapshot();
    return m_ini.writeBool(names().log, names().followLog, on);
}

Status SettingsFile::writeWindowState(const WindowState& window)
{
    const Names& n = names();
    forgetSnapshot();
    if (window.geometry) {
        const ScreenRect& g = *window.geometry;
        for (const auto& [key, value] : {std::pair{&n.windowLeft, g.x}, std::pair{&n.windowTop, g.y},
                                         std::pair{&n.windowWidth, g.width}, std::pair{&n.windowHeight, g.height}})
            if (Status status = m_ini.writeString(n.window, *key, std::to_string(value)); !status)
                return status;
    }
    if (Status status = m_ini.writeBool(n.window, n.windowMaximised, window.maximised); !status)
        return status;
    return m_ini.writeString(n.window, n.windowPage, window.page);
}

Status SettingsFile::writeSearchEncoded(bool on)
{
    forgetSnapshot();
    return m_ini.writeBool(names().log, names().searchEncoded, on);
}

Status SettingsFile::saveVerification(const VerificationSettings& verification)
{
    const Names& n = names();
    forgetSnapshot();
    for (const auto& [key, box] : n.verificationKeys)
        if (Status status = m_ini.writeBool(n.verification, key, verification.*box); !status)
            return status;
    const std::string& name =
        verification.cacheFileName.empty() ? n.defaultCacheFile : verification.cacheFileName;
    return m_ini.writeString(n.verification, n.cacheFile, name);
}

std::string SettingsFile::verdictCachePath(const VerificationSettings& verification) const
{
    return besideSettings(verification.cacheFileName, names().defaultCacheFile);
}

std::string SettingsFile::ledgerPath() const
{
    return besideSettings(m_ini.readString(names().ledger, names().ledgerFile, ""), names().defaultLedgerFile);
}

std::string SettingsFile::addressListsPath(const VerificationSettings& verification) const
{
    return besideSettings(verification.listsFileName, names().defaultListsFile);
}

std::string SettingsFile::besideSettings(std::string name, const std::string& fallback) const
{
    if (name.empty())
        name = fallback;
    // Beside the settings file, whatever folder the name tries to reach.
    if (const size_t cut = name.find_last_of("/\\"); cut != std::string::npos)
        name.erase(0, cut + 1);
    if (name.empty() || name == "." || name == "..")
        name = fallback;
    const std::string& settingsPath = path();
    const size_t slash = settingsPath.rfind(kPathSeparator);
    const std::string folder = slash == std::string::npos ? "." : settingsPath.substr(0, slash);
    return joinPath(folder, gbkToUtf8(name));
}

std::vector<int> SettingsFile::readColumnWidths(std::string_view list, size_t columns) const
{
    std::vector<int> widths(columns, 0);
    const std::string text = snapshot().readString(names().columnWidths, list, "");
    size_t column = 0;
    for (size_t at = 0; at <= text.size() && column < columns; ++column) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::optional<std::int32_t> width = parseInteger(text.substr(at, comma - at));
        // Anything but a sensible width leaves the column to the font.
        if (width && *width >= 0 && *width <= kMaxColumnWidth)
            widths[column] = static_cast<int>(*width);
        at = comma + 1;
    }
    return widths;
}

Status SettingsFile::writeColumnWidths(std::string_view list, const std::vector<int>& widths)
{
    std::string text;
    for (size_t i = 0; i < widths.size(); ++i)
        text += (i ? "," : "") + std::to_string(widths[i]);
    forgetSnapshot();
    return m_ini.writeString(names().columnWidths, list, text);
}

Status SettingsFile::writeSiteUrl(const std::string& siteUrl)
{
    forgetSnapshot();
    return m_ini.writeString(kUser, kSiteUrl, siteUrl);
}

} // namespace quill

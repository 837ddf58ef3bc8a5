#pragma once
// The settings file "保存设置.ini" beside the executable: read once at start-up, written key by key.
// One object reads the file once, however many keys it is asked for; a write makes the next read
// read it again.

#include "logs/FilterSnapshot.h"
#include "platform/IniFile.h"
#include "platform/Status.h"
#include "settings/ColourNames.h"
#include "settings/WindowPlacement.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The crawler check's boxes and where its verdicts are kept; a file without these keys starts
// with the check off.
struct VerificationSettings {
    bool verifyCrawlers = false; // 验证蜘蛛 on the log page
    bool onlyFakes = false;      // 只看伪装 on the log page
    bool onlyVerified = false;   // 只计已验证 on the statistics page
    std::string cacheFileName;   // GBK, a name beside the settings file; empty: the default
    std::string listsFileName;   // GBK, the published address lists beside the settings file; empty: the default
    std::string listsFolder;     // GBK; not empty: "更新蜘蛛IP表" reads the lists from files there
};

struct Settings {
    std::string logFolder;          // GBK
    FilterSnapshot filters;         // the twelve saved boxes; audio and search are never saved
    bool hideAdvert = false;
    std::string siteUrl;            // GBK
    ColourValue listBackground = kColourSkyBlue;
    ColourValue listText = kColourBlack;
    VerificationSettings verification;
    bool csvVerbatim = false; // "导出CSV" writes cells that start like a formula as they are
    bool followLog = false;   // 跟踪 on the log page
    bool searchEncoded = true; // 含URL编码 on the log page; on for a file without the key
    WindowState window;
};

class SettingsFile {
public:
    explicit SettingsFile(std::string path);

    // The settings file in the executable's folder.
    static std::string defaultPath();

    const std::string& path() const { return m_ini.path(); }

    // Every key, in the file's key order, each defaulting to `current`'s value; `current`'s audio
    // box and search text are kept.
    Settings load(const Settings& current) const;

    // "基本"/"日志目录".
    Status writeLogFolder(const std::string& folder);
    // The twelve filter boxes, "siteurl", "lvbakcolor" and "lvfontcolor", in that order; stops at
    // the first failed write, leaving the keys before it written.
    Status saveConfiguration(const FilterSnapshot& boxes, const std::string& siteUrl,
                             ColourValue background, ColourValue text);
    // Column widths the user set on the list named `list` ("lv2", "lv1"), section "列宽": one
    // number per column, 0 where the width follows the font.
    std::vector<int> readColumnWidths(std::string_view list, size_t columns) const;
    Status writeColumnWidths(std::string_view list, const std::vector<int>& widths);

    // "日志"/"跟踪", with the other boxes of the log page.
    Status writeFollowLog(bool on);
    // "日志"/"含URL编码", beside it.
    Status writeSearchEncoded(bool on);

    // "user"/"siteurl", saved at shut-down.
    Status writeSiteUrl(const std::string& siteUrl);
    // The window's geometry, maximised state and page, saved at shut-down (section "窗口"); stops
    // at the first failed write.
    Status writeWindowState(const WindowState& window);
    // The three boxes of the crawler check and the cache file name, in that order; stops at the
    // first failed write.
    Status saveVerification(const VerificationSettings& verification);

    // The crawler check's cache file: its name (only the name part; the default when empty)
    // in the settings file's folder.
    std::string verdictCachePath(const VerificationSettings& verification) const;
    // The published address lists' file, placed as the cache file is.
    std::string addressListsPath(const VerificationSettings& verification) const;
    // The crawl ledger: the name "抓取档案"/"文件" gives (only the name part; "抓取档案.db" when
    // empty) in the settings file's folder.
    std::string ledgerPath() const;

private:
    const IniSnapshot& snapshot() const;
    void forgetSnapshot() { m_snapshot.reset(); }
    // The file `name` (or `fallback` when empty) in the settings file's folder, as UTF-8.
    std::string besideSettings(std::string name, const std::string& fallback) const;

    IniFile m_ini;
    mutable std::optional<IniSnapshot> m_snapshot;
};

} // namespace quill

#pragma once
// The settings file "保存设置.ini" beside the executable: read once at start-up, written key by key.

#include "logs/FilterSnapshot.h"
#include "platform/IniFile.h"
#include "platform/Status.h"
#include "settings/ColourNames.h"

#include <string>

namespace quill {

struct Settings {
    std::string logFolder;          // GBK
    FilterSnapshot filters;         // the twelve saved boxes; audio and search are never saved
    bool hideAdvert = false;
    std::string siteUrl;            // GBK
    TColor listBackground = clSkyBlue;
    TColor listText = clBlack;
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
                             TColor background, TColor text);
    // "user"/"siteurl", the one key saved at shut-down.
    Status writeSiteUrl(const std::string& siteUrl);

private:
    IniFile m_ini;
};

} // namespace quill

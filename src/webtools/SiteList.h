#pragma once
// The saved site list: an XML file with root XMLPacage and one url child per address, UTF-8 on
// disk, GBK here. Every operation reads the file afresh and saves each change at once.

#include "platform/Status.h"

#include <optional>
#include <string>
#include <vector>

namespace quill {

inline constexpr const char* kSiteListFile = "test.xml";

struct SiteListLoad {
    std::vector<std::string> urls; // texts of the root's "url" children, in file order
    bool wasRead = false;          // the file existed and parsed
    Status written; // writing the empty list in its place, when it had to
    // An unreadable file was renamed aside before the empty list was written: what to tell the
    // user (GBK), once.
    std::optional<std::string> keptAside;
};

// The bytes of a site list file as UTF-8 for the XML parser: after a UTF-8 or UTF-16 byte-order
// mark, from the encoding its declaration names (gb2312, gbk, gb18030, ...), as they are when valid
// UTF-8, and as GBK otherwise (how earlier versions wrote the list).
std::string siteListAsUtf8(std::string bytes);

// Reads the list, or writes an empty one in place of a missing file. A file that cannot be read or
// parsed, or nests deeper than any list, is never overwritten: it is renamed aside first (and when
// that fails, nothing is written).
SiteListLoad loadSiteList(const std::string& path);

struct SiteListChange {
    Status status; // the file could not be written; nothing else applies
    std::optional<std::string> message; // the results line, when there is one
    std::vector<std::string> dropDown;  // "保存": the item to append; "删除": the whole new list
    std::optional<std::string> keptAside; // "保存": as SiteListLoad's
};

// "保存": adds `address` unless a child of the root already holds exactly that text. An address
// with a control byte is refused with a message for the error box. An unreadable file is renamed
// aside before the new list is written.
SiteListChange saveSiteAddress(const std::string& path, const std::string& address);

// "删除": removes the first child holding exactly `address`.
SiteListChange deleteSiteAddress(const std::string& path, const std::string& address);

} // namespace quill

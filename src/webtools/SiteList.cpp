#include "webtools/SiteList.h"

#include "platform/CodePage.h"
#include "platform/ReplacementFile.h"

#include <pugixml.hpp>

#include <filesystem>
#include <sstream>

namespace quill {
namespace {

constexpr size_t kShortestAddress = 4; // bytes; shorter box texts are never saved or looked up

void emptyList(pugi::xml_document& document)
{
    document.reset();
    document.append_child("XMLPacage");
}

// Loads the file; a missing or unreadable one gives an empty list and false.
bool openList(const std::string& path, pugi::xml_document& document)
{
    std::error_code ignored;
    // A folder opens like a file but has no size to read, so only regular files are loaded.
    if (std::filesystem::is_regular_file(path, ignored) && document.load_file(path.c_str()) &&
        document.document_element())
        return true;
    emptyList(document);
    return false;
}

// All text inside the element, as GBK.
std::string nodeText(const pugi::xml_node& node)
{
    std::string utf8;
    for (const pugi::xml_node& inner : node.children()) {
        if (inner.type() == pugi::node_pcdata || inner.type() == pugi::node_cdata)
            utf8 += inner.value();
        else if (inner.type() == pugi::node_element)
            utf8 += nodeText(inner);
    }
    return utf8ToGbk(utf8);
}

// Written beside the file and renamed over it, so a failed write leaves the old list whole.
Status saveList(const pugi::xml_document& document, const std::string& path)
{
    std::ostringstream bytes;
    document.save(bytes, "  ", pugi::format_default, pugi::encoding_utf8);
    ReplacementFile file(path);
    file.write(bytes.str());
    return file.commit();
}

} // namespace

SiteListLoad loadSiteList(const std::string& path)
{
    SiteListLoad load;
    pugi::xml_document document;
    load.wasRead = openList(path, document);
    if (!load.wasRead) {
        load.written = saveList(document, path);
        return load;
    }
    for (const pugi::xml_node& child : document.document_element().children())
        if (child.type() == pugi::node_element && std::string_view(child.name()) == "url")
            load.urls.push_back(nodeText(child));
    return load;
}

SiteListChange saveSiteAddress(const std::string& path, const std::string& address)
{
    SiteListChange change;
    if (address.size() < kShortestAddress)
        return change;
    pugi::xml_document document;
    openList(path, document);
    pugi::xml_node root = document.document_element();
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() == pugi::node_element && nodeText(child) == address) {
            change.message = gbk("这个地址存在:  ") + address;
            return change;
        }
    }
    root.append_child("url").append_child(pugi::node_pcdata).set_value(gbkToUtf8(address).c_str());
    change.status = saveList(document, path);
    if (!change.status)
        return change;
    change.message = gbk("地址保存成功:  ") + address;
    change.dropDown.push_back(address);
    return change;
}

SiteListChange deleteSiteAddress(const std::string& path, const std::string& address)
{
    SiteListChange change;
    if (address.size() < kShortestAddress)
        return change;
    pugi::xml_document document;
    openList(path, document);
    pugi::xml_node root = document.document_element();
    pugi::xml_node first;
    std::vector<std::string> all;
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        all.push_back(nodeText(child));
        if (!first && all.back() == address)
            first = child;
        else
            change.dropDown.push_back(all.back());
    }
    if (!first) {
        change.message = gbk("保存列表中不存:  ") + address;
        return change;
    }
    root.remove_child(first);
    change.status = saveList(document, path);
    if (!change.status) {
        change.dropDown = std::move(all); // the file still holds the address
        return change;
    }
    change.message = gbk("删除成功:  ") + address;
    return change;
}

} // namespace quill

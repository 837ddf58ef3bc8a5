#include "webtools/SiteList.h"

#include "platform/CodePage.h"
#include "platform/ReplacementFile.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quill {
namespace {

constexpr size_t kShortestAddress = 4; // bytes; shorter box texts are never saved or looked up

void emptyList(pugi::xml_document& document)
{
    document.reset();
    document.append_child("XMLPacage");
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

// The encoding named by the XML declaration at the start of `bytes`, lower-cased; empty when none.
std::string declaredEncoding(std::string_view bytes)
{
    if (!bytes.starts_with("<?xml"))
        return {};
    const std::string declaration = lowerAscii(std::string(bytes.substr(0, bytes.find("?>"))));
    const size_t key = declaration.find("encoding");
    if (key == std::string::npos)
        return {};
    const size_t open = declaration.find_first_of("\"'", key);
    if (open == std::string::npos)
        return {};
    const size_t close = declaration.find(declaration[open], open + 1);
    if (close == std::string::npos)
        return {};
    return declaration.substr(open + 1, close - open - 1);
}

// Whatever can be read of `path`; nothing when it is no regular file or cannot be read.
std::optional<std::string> readBytes(const std::string& path)
{
    std::error_code ignored;
    // A folder opens like a file but has no size to read, so only regular files are loaded.
    if (!std::filesystem::is_regular_file(path, ignored))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof())
        return std::nullopt;
    return bytes.str();
}

// Loads the file; a missing or unreadable one gives an empty list and false.
bool openList(const std::string& path, pugi::xml_document& document)
{
    const std::optional<std::string> bytes = readBytes(path);
    if (bytes) {
        const std::string utf8 = siteListAsUtf8(*bytes);
        if (document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8) &&
            document.document_element())
            return true;
    }
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
    // Whatever declaration the file had, it is written as UTF-8 and says so.
    pugi::xml_document copy;
    copy.reset(document);
    while (copy.first_child().type() == pugi::node_declaration)
        copy.remove_child(copy.first_child());
    pugi::xml_node declaration = copy.prepend_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    std::ostringstream bytes;
    copy.save(bytes, "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
    ReplacementFile file(path);
    file.write(bytes.str());
    return file.commit();
}

bool hasControlByte(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

} // namespace

std::string siteListAsUtf8(std::string bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return bytes.substr(3);
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const char* charset = bytes[0] == '\xFF' ? "UTF-16LE" : "UTF-16BE";
        return charsetToUtf8(std::string_view(bytes).substr(2), charset).value_or(std::string());
    }
    std::string encoding = declaredEncoding(bytes);
    // Files that say gb2312 are written by programs that mean GBK, its superset.
    if (encoding == "gb2312" || encoding == "x-gbk" || encoding == "cp936")
        encoding = "gbk";
    if (!encoding.empty() && encoding != "utf-8" && encoding != "utf8") {
        if (std::optional<std::string> converted = charsetToUtf8(bytes, encoding))
            return std::move(*converted);
    }
    if (isValidUtf8(bytes))
        return bytes;
    // Earlier versions wrote the program's GBK bytes as they were, without a declaration.
    return charsetToUtf8(bytes, "GBK").value_or(std::string());
}

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
    // XML 1.0 cannot hold them, and a request could never use them.
    if (hasControlByte(address)) {
        change.status = Status::failure(gbk("地址中有控制字符（如换行或制表符），不能保存"));
        return change;
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

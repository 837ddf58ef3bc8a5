#include "webtools/SiteList.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
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

// A list this large or this deep is no list the program wrote; it is kept aside unread.
constexpr std::uintmax_t kLargestList = std::uintmax_t{16} << 20;
constexpr size_t kDeepestList = 256;

enum class ListFile {
    Missing,
    Read,
    NotAFile,   // a folder or a device in its place: neither read nor replaced
    Unreadable, // a file that cannot be read or parsed: kept aside before any write
};

struct OpenedList {
    ListFile state = ListFile::Missing;
    std::string why; // GBK, for an unreadable file
};

// How deep the document nests, counted without recursion; stops counting past kDeepestList.
size_t depthOf(const pugi::xml_document& document)
{
    size_t depth = 0;
    size_t deepest = 0;
    pugi::xml_node node = document.first_child();
    while (node && deepest <= kDeepestList) {
        deepest = std::max(deepest, ++depth);
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != document && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node == document)
            break;
        node = node.next_sibling();
        --depth;
    }
    return deepest;
}

// Loads the file into `document`; anything but a readable list leaves it an empty list.
OpenedList openList(const std::string& path, pugi::xml_document& document)
{
    emptyList(document);
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return {};
    if (status.type() != std::filesystem::file_type::regular)
        return {ListFile::NotAFile, {}};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kLargestList)
        return {ListFile::Unreadable, gbk("文件大于 16 MiB")};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {ListFile::Unreadable, gbk("无法读取文件")};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    // A file of nothing but blanks holds no address to lose.
    if (bytes.view().find_first_not_of(" \t\r\n") == std::string_view::npos)
        return {};
    const std::string utf8 = siteListAsUtf8(std::move(bytes).str());
    const pugi::xml_parse_result parsed = document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
    std::string why;
    if (!parsed)
        why = std::string(parsed.description()) + gbk("，位置 ") + std::to_string(parsed.offset);
    else if (!document.document_element())
        why = gbk("没有根元素");
    else if (depthOf(document) > kDeepestList) // later walks, and removing an entry, recurse that deep
        why = gbk("元素嵌套超过 256 层");
    if (!why.empty()) {
        emptyList(document);
        return {ListFile::Unreadable, why};
    }
    return {ListFile::Read, {}};
}

// Renames an unreadable list aside so that no write replaces it; the text that tells the user.
Result<std::string> keepUnreadableList(const std::string& path, const std::string& why)
{
    const Result<std::string> aside = renameAside(path, "damaged");
    const std::string file = utf8ToGbk(path);
    if (!aside)
        return Status::failure(gbk("站点列表 ") + file + gbk(" 无法读取（") + why + gbk("），也无法改名保留（") +
                               aside.status().message() + gbk("），文件未改动"));
    return gbk("站点列表 ") + file + gbk(" 无法读取（") + why + gbk("），已改名为 ") + utf8ToGbk(aside.value()) +
           gbk(" 保留，列表从空开始");
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
    // A file that says UTF-8 is read as UTF-8, a stray bad sequence and all: every save writes
    // that declaration, so guessing GBK here would turn a list the program wrote into another.
    if (encoding == "utf-8" || encoding == "utf8")
        return bytes;
    if (!encoding.empty()) {
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
    const OpenedList opened = openList(path, document);
    load.wasRead = opened.state == ListFile::Read;
    if (opened.state == ListFile::Unreadable) {
        Result<std::string> kept = keepUnreadableList(path, opened.why);
        if (!kept) {
            load.written = kept.status();
            return load;
        }
        load.keptAside = std::move(kept.value());
    }
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
    const OpenedList opened = openList(path, document);
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
    if (opened.state == ListFile::Unreadable) {
        Result<std::string> kept = keepUnreadableList(path, opened.why);
        if (!kept) {
            change.status = kept.status();
            return change;
        }
        change.keptAside = std::move(kept.value());
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
    openList(path, document); // an unreadable file holds no address, so it is never written here
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

#include "ledger/Sitemap.h"

#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "platform/HttpClient.h"

#include <pugixml.hpp>
#include <zlib.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

std::string megabytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

bool isAddress(std::string_view where) { return where.starts_with("http://") || where.starts_with("https://"); }

bool stopped(const SitemapOptions& options) { return options.stop && options.stop->load(); }

Result<std::string> fetch(const std::string& url, const SitemapOptions& options, Clock::time_point deadline)
{
    const SitemapLimits& limits = options.limits;
    HttpOptions http;
    http.userAgent = "Mozilla/5.0 (compatible; Quillmarkbox sitemap reader)";
    http.accept = "application/xml, text/xml, text/plain, */*";
    http.contentType.clear();
    http.followRedirects = true;
    http.onlySuccessStatus = true;
    http.connectTimeout = limits.connect;
    http.timeout = limits.idle;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    http.totalTimeout = std::max(std::chrono::milliseconds(1), std::min(limits.perFile, left));
    http.maxBodyBytes = limits.maxBytes + 1;
    http.stop = options.stop;
    HttpClient client(http);
    HttpResponse response = client.get(url);
    if (!response.ok())
        return Status::failure(response.status.message() + ": " + url);
    if (response.cut)
        return Status::failure(gbk("网站地图超过 ") + megabytes(limits.maxBytes) + ": " + url);
    return std::move(response.body);
}

Result<std::string> readLocal(const std::string& path, std::size_t maxBytes)
{
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        return Status::failure(fileErrorText(errno) + ": " + utf8ToGbk(path));
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return Status::failure(fileErrorText(errno) + ": " + utf8ToGbk(path));
    if (!S_ISREG(info.st_mode))
        return Status::failure(gbk("网站地图不是普通文件: ") + utf8ToGbk(path));
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return Status::failure(gbk("网站地图超过 ") + megabytes(maxBytes) + ": " + utf8ToGbk(path));
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = readSome(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return Status::failure(fileErrorText(errno) + ": " + utf8ToGbk(path));
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

// gzip bytes decompressed, at most `maxBytes` of them: a bomb stops there with a message.
Result<std::string> gunzip(const std::string& bytes, std::size_t maxBytes, const std::string& where)
{
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return Status::failure("zlib");
    std::string out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    int code = Z_OK;
    char chunk[1 << 16];
    while (code != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        code = inflate(&stream, Z_NO_FLUSH);
        if (code != Z_OK && code != Z_STREAM_END) {
            inflateEnd(&stream);
            return Status::failure(gbk("网站地图的 gzip 数据已损坏: ") + where);
        }
        out.append(chunk, sizeof chunk - stream.avail_out);
        if (out.size() > maxBytes) {
            inflateEnd(&stream);
            return Status::failure(gbk("网站地图解压后超过 ") + megabytes(maxBytes) + ": " + where);
        }
        if (code == Z_OK && stream.avail_in == 0 && stream.avail_out != 0) {
            inflateEnd(&stream);
            return Status::failure(gbk("网站地图的 gzip 数据不完整: ") + where);
        }
    }
    inflateEnd(&stream);
    return out;
}

std::string_view localName(const char* name)
{
    const std::string_view full(name);
    const size_t colon = full.find(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

enum class Kind { Urls, Index };

struct Parsed {
    Kind kind = Kind::Urls;
    std::vector<std::string> locations;
};

Result<Parsed> parse(std::string& bytes, const std::string& where)
{
    Parsed parsed;
    size_t start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (start < bytes.size() && static_cast<unsigned char>(bytes[start]) <= 0x20)
        ++start;
    if (start == bytes.size() || bytes[start] != '<') {
        // A plain list: one full URL a line.
        size_t at = start;
        while (at < bytes.size()) {
            size_t end = bytes.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = bytes.size();
            const std::string_view line = trim(std::string_view(bytes).substr(at, end - at));
            if (isAddress(line))
                parsed.locations.emplace_back(line);
            at = end + 1;
        }
        return parsed;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default & ~pugi::parse_wconv_attribute);
    if (!result)
        return Status::failure(gbk("网站地图不是有效的 XML (") + result.description() + gbk("，位置 ") +
                               std::to_string(result.offset) + "): " + where);
    const pugi::xml_node root = document.document_element();
    const std::string_view rootName = localName(root.name());
    if (rootName != "urlset" && rootName != "sitemapindex")
        return Status::failure(gbk("不是网站地图 (根元素不是 urlset 或 sitemapindex): ") + where);
    parsed.kind = rootName == "urlset" ? Kind::Urls : Kind::Index;
    const std::string_view entry = parsed.kind == Kind::Urls ? "url" : "sitemap";
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (localName(node.name()) != entry)
            continue;
        for (pugi::xml_node field = node.first_child(); field; field = field.next_sibling())
            if (localName(field.name()) == "loc")
                if (const std::string_view loc = trim(field.child_value()); !loc.empty())
                    parsed.locations.emplace_back(loc);
    }
    return parsed;
}

class SitemapReader {
public:
    explicit SitemapReader(const SitemapOptions& options)
        : m_options(options), m_deadline(Clock::now() + options.limits.overall)
    {
    }

    Result<Parsed> read(const std::string& where)
    {
        if (stopped(m_options))
            return Status::failure(gbk("已取消"));
        if (Clock::now() >= m_deadline)
            return Status::failure(gbk("读取网站地图超时: ") + where);
        Result<std::string> bytes = isAddress(where) ? fetch(where, m_options, m_deadline)
                                                     : readLocal(where, m_options.limits.maxBytes);
        if (!bytes.ok())
            return bytes.status();
        if (bytes.value().starts_with("\x1F\x8B")) {
            bytes = gunzip(bytes.value(), m_options.limits.maxBytes, where);
            if (!bytes.ok())
                return bytes.status();
        }
        return parse(bytes.value(), where);
    }

    // Adds `urls` until the limit; false once it is reached.
    bool take(std::vector<std::string>& urls, Sitemap& sitemap)
    {
        m_seen.reserve(m_seen.size() + urls.size());
        for (std::string& url : urls) {
            if (!m_seen.insert(url).second)
                continue;
            if (sitemap.urls.size() >= m_options.limits.maxUrls) {
                sitemap.notes.push_back(gbk("网站地图的地址超过 ") + std::to_string(m_options.limits.maxUrls) +
                                        gbk(" 个，只比较了前面这些"));
                return false;
            }
            sitemap.urls.push_back(std::move(url));
        }
        return true;
    }

private:
    const SitemapOptions& m_options;
    Clock::time_point m_deadline;
    std::unordered_set<std::string> m_seen;
};

// Where a sitemap named in an index lies: an address, or a file beside a local index.
std::string childLocation(const std::string& index, const std::string& loc)
{
    if (isAddress(loc) || isAddress(index))
        return loc;
    const size_t slash = index.rfind(kPathSeparator);
    return slash == std::string::npos ? loc : joinPath(index.substr(0, slash), loc);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

Result<Sitemap> loadSitemap(const std::string& where, const SitemapOptions& options)
{
    SitemapReader reader(options);
    Result<Parsed> top = reader.read(where);
    if (!top.ok())
        return top.status();
    Sitemap sitemap;
    if (top.value().kind == Kind::Urls) {
        reader.take(top.value().locations, sitemap);
        return sitemap;
    }
    const std::vector<std::string>& children = top.value().locations;
    for (size_t i = 0; i < children.size(); ++i) {
        if (i == options.limits.maxFiles) {
            sitemap.notes.push_back(gbk("网站地图索引列出 ") + std::to_string(children.size()) + gbk(" 个文件，只读了前 ") +
                                    std::to_string(options.limits.maxFiles) + gbk(" 个"));
            break;
        }
        Result<Parsed> child = reader.read(childLocation(where, children[i]));
        if (stopped(options))
            return Status::failure(gbk("已取消"));
        if (!child.ok()) {
            sitemap.notes.push_back(child.status().message());
            continue;
        }
        if (child.value().kind == Kind::Index) {
            sitemap.notes.push_back(gbk("跳过了索引中的索引: ") + children[i]);
            continue;
        }
        if (!reader.take(child.value().locations, sitemap))
            break;
    }
    return sitemap;
}

std::string sitemapPathKey(std::string_view urlOrPath)
{
    std::string_view path = urlOrPath;
    if (const size_t scheme = path.find("://"); scheme != std::string_view::npos) {
        const size_t slash = path.find('/', scheme + 3);
        path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
    }
    path = path.substr(0, std::min(path.find('?'), path.find('#')));
    std::string key;
    key.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        int high = 0, low = 0;
        if (c == '%' && i + 2 < path.size() && (high = hexValue(path[i + 1])) >= 0 && (low = hexValue(path[i + 2])) >= 0) {
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return key.empty() ? "/" : key;
}

SitemapComparison compareSitemap(const Sitemap& sitemap, const UrlView& crawled)
{
    std::vector<std::string> crawledKeys;
    crawledKeys.reserve(crawled.rows.size());
    std::unordered_set<std::string_view> fetched;
    fetched.reserve(crawled.rows.size());
    for (const UrlRow& row : crawled.rows) {
        crawledKeys.push_back(sitemapPathKey(row.path));
        if (row.hits > 0)
            fetched.insert(crawledKeys.back());
    }
    std::vector<std::string> listedKeys;
    listedKeys.reserve(sitemap.urls.size());
    std::unordered_set<std::string_view> listed;
    listed.reserve(sitemap.urls.size());
    SitemapComparison comparison;
    for (const std::string& url : sitemap.urls) {
        listedKeys.push_back(sitemapPathKey(url));
        if (!fetched.count(listedKeys.back()))
            comparison.uncrawled.push_back(url);
        listed.insert(listedKeys.back());
    }
    for (size_t r = 0; r < crawled.rows.size(); ++r)
        if (crawled.rows[r].classHits[0] > 0 && !listed.count(crawledKeys[r]))
            comparison.notInSitemap.push_back(crawled.rows[r].path);
    return comparison;
}

} // namespace quill

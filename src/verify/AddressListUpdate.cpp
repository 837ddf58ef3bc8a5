#include "verify/AddressListUpdate.h"

#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/HttpClient.h"
#include "verify/PublishedListFormat.h"

#include <algorithm>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace quill {
namespace {

std::string httpFailureText(const HttpResponse& response)
{
    switch (response.failure) {
    case HttpFailure::Connect: return gbk("无法连接");
    case HttpFailure::TimedOut: return gbk("超时");
    case HttpFailure::ErrorStatus: return "HTTP " + std::to_string(response.statusCode);
    case HttpFailure::Redirects: return gbk("重定向过多");
    case HttpFailure::Stopped: return gbk("已停止");
    default: return response.status.message();
    }
}

std::string tooLargeText(size_t maxBytes) { return gbk("表过大（超过 ") + std::to_string(maxBytes) + gbk(" 字节）"); }

Result<std::string> download(const PublishedList& list, const ListSource& source)
{
    HttpOptions options;
    options.userAgent = "Quillmarkbox";
    options.accept = "application/json, */*";
    options.contentType.clear();
    options.followRedirects = true; // Google's older addresses redirect to the new ones
    options.onlySuccessStatus = true;
    options.connectTimeout = source.connectTimeout;
    options.timeout = source.idleTimeout;
    options.totalTimeout = source.totalTimeout;
    options.maxBodyBytes = source.maxBytes;
    options.stop = source.stop;
    HttpClient client(options);
    HttpResponse response = client.get(publishedListUrl(list));
    if (!response.ok())
        return Status::failure(gbk("下载失败：") + httpFailureText(response));
    if (response.cut)
        return Status::failure(tooLargeText(source.maxBytes));
    return std::move(response.body);
}

Result<std::string> readFromFolder(const PublishedList& list, const ListSource& source)
{
    const std::string path = joinPath(source.folder, list.fileName);
    // Non-blocking, so a pipe of that name cannot hold the update; it is refused below.
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0)
        return Status::failure(gbk("读取失败：") + fileErrorText(errno));
    if (!S_ISREG(info.st_mode))
        return Status::failure(gbk("读取失败：不是普通文件"));
    if (static_cast<std::uint64_t>(info.st_size) > source.maxBytes)
        return Status::failure(tooLargeText(source.maxBytes));
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = readSome(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return Status::failure(gbk("读取失败：") + fileErrorText(errno));
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool absentFrom(const std::string& folder, const PublishedList& list)
{
    struct stat info {};
    return stat(joinPath(folder, list.fileName).c_str(), &info) != 0 && errno == ENOENT;
}

std::set<std::string> prefixTexts(const std::vector<AddressPrefix>& prefixes)
{
    std::set<std::string> texts;
    for (const AddressPrefix& prefix : prefixes)
        texts.insert(addressPrefixText(prefix));
    return texts;
}

std::string grouped(size_t number)
{
    std::string digits = std::to_string(number);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

} // namespace

bool ListUpdate::anyNew() const
{
    return std::any_of(changes.begin(), changes.end(), [](const ListChange& change) {
        return change.kind == ListChangeKind::Added || change.kind == ListChangeKind::Changed ||
               change.kind == ListChangeKind::Unchanged;
    });
}

ListUpdate updateAddressLists(const AddressLists& current, const ListSource& source, std::int64_t now)
{
    ListUpdate update;
    std::vector<AddressList> kept;
    const auto& published = publishedLists();
    for (size_t i = 0; i < published.size(); ++i) {
        const int index = static_cast<int>(i);
        const AddressList* old = current.find(index);
        ListChange change;
        change.index = index;
        if (source.stop && *source.stop) {
            update.stopped = true;
            if (old)
                kept.push_back(*old);
            continue;
        }
        Result<std::string> bytes = source.folder.empty() ? download(published[i], source)
                                                          : readFromFolder(published[i], source);
        Result<ParsedList> parsed = bytes.ok() ? parsePublishedList(bytes.value()) : Result<ParsedList>(bytes.status());
        change.absent = !source.folder.empty() && !bytes.ok() && absentFrom(source.folder, published[i]);
        if (!parsed.ok()) {
            change.read = parsed.status();
            if (old) {
                kept.push_back(*old);
                change.total = old->prefixes.size();
                change.date = old->date;
                change.stale = old->isStale(now);
            }
            update.changes.push_back(std::move(change));
            continue;
        }
        AddressList list{index, parsed.value().createdAt ? parsed.value().createdAt : now, now,
                         std::move(parsed.value().prefixes)};
        const std::set<std::string> after = prefixTexts(list.prefixes);
        if (old) {
            const std::set<std::string> before = prefixTexts(old->prefixes);
            for (const std::string& text : after)
                change.added += before.count(text) == 0;
            for (const std::string& text : before)
                change.removed += after.count(text) == 0;
            change.kind = change.added || change.removed ? ListChangeKind::Changed : ListChangeKind::Unchanged;
        } else {
            change.kind = ListChangeKind::Added;
            change.added = after.size();
        }
        change.total = after.size();
        change.date = list.date;
        change.stale = list.isStale(now);
        kept.push_back(std::move(list));
        update.changes.push_back(std::move(change));
    }
    update.lists = AddressLists(std::move(kept));
    return update;
}

StoredListUpdate updateAddressListsFile(const std::string& path, const ListSource& source, std::int64_t now)
{
    StoredListUpdate stored{updateAddressLists(readAddressListsFile(path), source, now), {}};
    if (stored.update.anyNew())
        stored.written = writeAddressListsFile(path, stored.update.lists);
    return stored;
}

std::string listChangeText(const ListChange& change)
{
    std::string text = publishedLists()[static_cast<size_t>(change.index)].fileName + ": ";
    const std::string total = gbk("共 ") + grouped(change.total) + gbk(" 段");
    switch (change.kind) {
    case ListChangeKind::Added: text += gbk("新表，") + total; break;
    case ListChangeKind::Changed:
        text += "+" + grouped(change.added) + " -" + grouped(change.removed) + gbk("，") + total;
        break;
    case ListChangeKind::Unchanged: text += gbk("未变，") + total; break;
    case ListChangeKind::Failed:
        text += change.read.message() + (change.date ? gbk("，保留旧表（") + total + gbk("）") : gbk("，没有旧表"));
        break;
    }
    if (change.date)
        text += gbk("（") + dateText(change.date) + (change.stale ? gbk("，已过期") : "") + gbk("）");
    return text;
}

std::string listsSummaryText(const AddressLists& lists, std::int64_t now)
{
    if (lists.empty())
        return gbk("尚未下载蜘蛛IP表");
    size_t prefixes = 0;
    std::int64_t oldest = lists.lists().front().date;
    std::string stale;
    for (const AddressList& list : lists.lists()) {
        prefixes += list.prefixes.size();
        oldest = std::min(oldest, list.date);
        if (list.isStale(now))
            stale += (stale.empty() ? "" : ", ") + publishedLists()[static_cast<size_t>(list.index)].fileName;
    }
    std::string text = grouped(lists.lists().size()) + gbk(" 个表，") + grouped(prefixes) + gbk(" 段，最旧 ") +
                       dateText(oldest);
    if (!stale.empty())
        text += gbk("；已过期: ") + stale;
    return text;
}

} // namespace quill

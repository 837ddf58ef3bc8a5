#include "verify/AddressLists.h"

#include "platform/ReplacementFile.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <fstream>
#include <map>

namespace quill {
namespace {

// The file: "[file name]" opens a list, "date=" and "obtained=" give its seconds, every other line
// of the section is one prefix.
constexpr std::string_view kHeader = "# Quillmarkbox: published crawler address lists\n";
constexpr size_t kLongestLine = 128;

std::optional<std::int64_t> readSeconds(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

AddressLists::AddressLists(std::vector<AddressList> lists)
{
    std::map<int, AddressList> byIndex;
    for (AddressList& list : lists)
        if (list.index >= 0 && list.index < static_cast<int>(publishedLists().size()))
            byIndex[list.index] = std::move(list);
    for (auto& [index, list] : byIndex) {
        for (const AddressPrefix& prefix : list.prefixes)
            m_set.add(prefix, index);
        m_lists.push_back(std::move(list));
    }
    m_set.build();
}

const AddressList* AddressLists::find(int index) const
{
    for (const AddressList& list : m_lists)
        if (list.index == index)
            return &list;
    return nullptr;
}

ListFinding AddressLists::judge(const IpAddress& address, const CrawlerEntry& crawler, std::int64_t now) const
{
    AddressPrefixSet::Lists own = 0;
    for (int index : crawler.lists)
        own |= AddressPrefixSet::Lists(1) << index;
    const AddressPrefixSet::Lists holding = m_set.listsHolding(address);
    if (holding & own)
        return ListFinding::InOwnList;
    // Only a fresh list speaks against a claim: an old one may name addresses given away since.
    for (const AddressList& list : m_lists)
        if ((holding >> list.index & 1) && !list.isStale(now))
            return ListFinding::InOtherList;
    if (!crawler.domains.empty() || crawler.lists.empty())
        return ListFinding::Undecided;
    for (int index : crawler.lists) {
        const AddressList* list = find(index);
        if (!list || list->isStale(now))
            return ListFinding::Undecided;
    }
    return ListFinding::OutsideFreshLists;
}

AddressLists readAddressListsFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<AddressList> lists;
    bool sectionBroken = false;
    auto closeSection = [&] {
        if (!lists.empty() && (sectionBroken || lists.back().prefixes.empty() || lists.back().date == 0))
            lists.pop_back();
        sectionBroken = false;
    };
    bool inSection = false;
    std::string line;
    while (std::getline(file, line)) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (line.empty() || line.starts_with('#'))
            continue;
        if (line.starts_with('[') && line.ends_with(']')) {
            closeSection();
            const auto index = publishedListIndex(std::string_view(line).substr(1, line.size() - 2));
            inSection = index.has_value();
            if (inSection)
                lists.push_back(AddressList{*index, 0, 0, {}});
            continue;
        }
        if (!inSection)
            continue;
        AddressList& list = lists.back();
        if (line.size() > kLongestLine) {
            sectionBroken = true;
        } else if (line.starts_with("date=") || line.starts_with("obtained=")) {
            const auto seconds = readSeconds(std::string_view(line).substr(line.find('=') + 1));
            sectionBroken = sectionBroken || !seconds;
            (line.starts_with("date=") ? list.date : list.obtainedAt) = seconds.value_or(0);
        } else if (auto prefix = parseAddressPrefix(line)) {
            list.prefixes.push_back(*prefix);
        } else {
            sectionBroken = true;
        }
    }
    closeSection();
    return AddressLists(std::move(lists));
}

Status writeAddressListsFile(const std::string& path, const AddressLists& lists)
{
    std::string text(kHeader);
    for (const AddressList& list : lists.lists()) {
        text += '[' + publishedLists()[static_cast<size_t>(list.index)].fileName + "]\n";
        text += "date=" + std::to_string(list.date) + "\nobtained=" + std::to_string(list.obtainedAt) + '\n';
        for (const AddressPrefix& prefix : list.prefixes)
            text += addressPrefixText(prefix) + '\n';
    }
    ReplacementFile file(path);
    file.write(text);
    return file.commit();
}

std::string dateText(std::int64_t seconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
    return text;
}

} // namespace quill

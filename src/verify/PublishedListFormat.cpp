#include "verify/PublishedListFormat.h"

#include "platform/CodePage.h"

#include <charconv>
#include <ctime>
#include <nlohmann/json.hpp>

namespace quill {
namespace {

using Json = nlohmann::json;

// Nesting the formats need: object > "prefixes" array > item object.
constexpr size_t kDeepestNesting = 3;

// Walks the JSON without building it, keeping only prefixes and the creation time.
class ListReader : public nlohmann::json_sax<Json> {
public:
    ParsedList list;
    std::string failure; // GBK; empty while all is well

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }

    bool string(string_t& value) override
    {
        if (m_frames.empty())
            return true;
        const Frame& top = m_frames.back();
        if (top.isObject) {
            if (m_frames.size() == 1 && top.key == "creationTime")
                list.createdAt = parseCreationTime(value).value_or(0);
            else if (m_frames.size() >= 2 && m_frames[m_frames.size() - 2].holdsPrefixes &&
                     (top.key == "ipv4Prefix" || top.key == "ipv6Prefix"))
                return addPrefix(value);
            return true;
        }
        return top.holdsPrefixes ? addPrefix(value) : true;
    }

    bool start_object(std::size_t) override { return enter(true); }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override
    {
        // The prefixes sit in the root array, or in the array under the root object's "prefixes".
        const bool holds = m_frames.empty() || (m_frames.size() == 1 && m_frames[0].isObject && m_frames[0].key == "prefixes");
        if (!enter(false))
            return false;
        m_frames.back().holdsPrefixes = holds;
        return true;
    }
    bool end_array() override { return leave(); }
    bool key(string_t& value) override
    {
        m_frames.back().key = value;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override
    {
        failure = gbk("不是有效的 JSON（第 ") + std::to_string(position) + gbk(" 字节）");
        return false;
    }

private:
    struct Frame {
        bool isObject;
        bool holdsPrefixes = false;
        std::string key;
    };

    bool enter(bool isObject)
    {
        if (m_frames.size() >= kDeepestNesting) {
            failure = gbk("嵌套过深，不是地址表");
            return false;
        }
        m_frames.push_back({isObject, false, {}});
        return true;
    }
    bool leave()
    {
        m_frames.pop_back();
        return true;
    }
    bool addPrefix(const std::string& text)
    {
        const auto prefix = parseAddressPrefix(text);
        if (!prefix) {
            failure = gbk("无法识别的地址段: ") + text.substr(0, 64);
            return false;
        }
        if (list.prefixes.size() == kMaxPrefixesPerList) {
            failure = gbk("地址段过多（超过 ") + std::to_string(kMaxPrefixesPerList) + gbk(" 个）");
            return false;
        }
        list.prefixes.push_back(*prefix);
        return true;
    }

    std::vector<Frame> m_frames;
};

bool readNumber(std::string_view text, size_t at, size_t digits, int& value)
{
    if (text.size() < at + digits)
        return false;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + digits, value);
    return error == std::errc() && end == text.data() + at + digits;
}

} // namespace

std::optional<std::int64_t> parseCreationTime(std::string_view text)
{
    int year, month, day, hour, minute, second;
    if (text.size() < 19)
        return std::nullopt;
    if (!readNumber(text, 0, 4, year) || text[4] != '-' || !readNumber(text, 5, 2, month) || text[7] != '-' ||
        !readNumber(text, 8, 2, day) || (text[10] != 'T' && text[10] != ' ') || !readNumber(text, 11, 2, hour) ||
        text[13] != ':' || !readNumber(text, 14, 2, minute) || text[16] != ':' || !readNumber(text, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    std::int64_t seconds = timegm(&parts);
    // Fractions of a second, then "Z" or "+hh:mm" / "-hh:mm".
    size_t at = 19;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9';)
            ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int offsetHours, offsetMinutes;
        if (!readNumber(text, at + 1, 2, offsetHours) || text.size() < at + 6 || text[at + 3] != ':' ||
            !readNumber(text, at + 4, 2, offsetMinutes))
            return std::nullopt;
        const std::int64_t offset = offsetHours * 3600 + offsetMinutes * 60;
        seconds += text[at] == '+' ? -offset : offset;
    }
    return seconds;
}

Result<ParsedList> parsePublishedList(std::string_view json)
{
    ListReader reader;
    const bool parsed = Json::sax_parse(json.begin(), json.end(), &reader);
    if (!parsed || !reader.failure.empty())
        return Status::failure(reader.failure.empty() ? gbk("不是有效的 JSON") : reader.failure);
    if (reader.list.prefixes.empty())
        return Status::failure(gbk("表中没有地址段"));
    return std::move(reader.list);
}

} // namespace quill

#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <vector>

namespace quill {
namespace {

// An iconv descriptor per thread and direction, opened once: printing millions of fields must not
// open one per field.
iconv_t converter(const char* to, const char* from)
{
    // Names are compared by text: callers may pass the buffer of a string that is gone by the next call.
    struct Open {
        std::string to;
        std::string from;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Open> open;
        ~Cache()
        {
            for (const Open& entry : open)
                if (entry.cd != reinterpret_cast<iconv_t>(-1))
                    iconv_close(entry.cd);
        }
    };
    thread_local Cache cache;
    for (const Open& entry : cache.open)
        if (entry.to == to && entry.from == from)
            return entry.cd;
    // Pages name charsets of their own choosing: only the last few stay open.
    if (cache.open.size() == 16) {
        if (cache.open.front().cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cache.open.front().cd);
        cache.open.erase(cache.open.begin());
    }
    cache.open.push_back({to, from, iconv_open(to, from)});
    return cache.open.back().cd;
}

// Converts with iconv, one unconvertible input unit at a time replaced by `replacement`.
std::string convert(const char* to, const char* from, std::string_view input,
                    size_t (*unitLength)(const char*, size_t), std::string_view replacement)
{
    iconv_t cd = converter(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t done = 0;
    while (inLeft > 0) {
        char* dst = out.data() + done;
        size_t outLeft = out.size() - done;
        size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (a truncated tail): replace one unit and go on.
        out.resize(std::max(out.size(), done + replacement.size() + 16));
        out.replace(done, replacement.size(), replacement);
        done += replacement.size();
        size_t skip = std::min(unitLength(in, inLeft), inLeft);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(done);
    return out;
}

size_t oneByte(const char*, size_t) { return 1; }
size_t twoBytes(const char*, size_t) { return 2; }
size_t fourBytes(const char*, size_t) { return 4; }

// Length of the UTF-8 sequence at p when it is well formed, else 1.
size_t utf8SequenceLength(const char* p, size_t left)
{
    const auto lead = static_cast<unsigned char>(p[0]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > left)
        return 1;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

constexpr char16_t kGrave = 0x0300, kAcute = 0x0301, kCircumflex = 0x0302, kMacron = 0x0304,
                   kBreve = 0x0306, kDiaeresis = 0x0308, kCaron = 0x030C, kLongSolidus = 0x0338,
                   kVoiced = 0x3099, kSemiVoiced = 0x309A;

struct Composition {
    char16_t base;
    char16_t mark;
    char16_t composed;
};

// Every canonical pair of a character and a combining mark whose precomposed form GBK holds.
constexpr Composition kGbkCompositions[] = {
    {u'<', kLongSolidus, u'≮'}, {u'=', kLongSolidus, u'≠'}, {u'>', kLongSolidus, u'≯'},
    {u'a', kGrave, u'à'}, {u'a', kAcute, u'á'}, {u'a', kMacron, u'ā'}, {u'a', kCaron, u'ǎ'},
    {u'e', kGrave, u'è'}, {u'e', kAcute, u'é'}, {u'e', kCircumflex, u'ê'}, {u'e', kMacron, u'ē'},
    {u'e', kCaron, u'ě'}, {u'i', kGrave, u'ì'}, {u'i', kAcute, u'í'}, {u'i', kMacron, u'ī'},
    {u'i', kCaron, u'ǐ'}, {u'n', kAcute, u'ń'}, {u'n', kCaron, u'ň'}, {u'o', kGrave, u'ò'},
    {u'o', kAcute, u'ó'}, {u'o', kMacron, u'ō'}, {u'o', kCaron, u'ǒ'}, {u'u', kGrave, u'ù'},
    {u'u', kAcute, u'ú'}, {u'u', kMacron, u'ū'}, {u'u', kDiaeresis, u'ü'}, {u'u', kCaron, u'ǔ'},
    {u'ü', kGrave, u'ǜ'}, {u'ü', kAcute, u'ǘ'}, {u'ü', kMacron, u'ǖ'}, {u'ü', kCaron, u'ǚ'},
    {u'Е', kDiaeresis, u'Ё'}, {u'И', kBreve, u'Й'}, {u'е', kDiaeresis, u'ё'}, {u'и', kBreve, u'й'},
    {u'か', kVoiced, u'が'}, {u'き', kVoiced, u'ぎ'}, {u'く', kVoiced, u'ぐ'}, {u'け', kVoiced, u'げ'},
    {u'こ', kVoiced, u'ご'}, {u'さ', kVoiced, u'ざ'}, {u'し', kVoiced, u'じ'}, {u'す', kVoiced, u'ず'},
    {u'せ', kVoiced, u'ぜ'}, {u'そ', kVoiced, u'ぞ'}, {u'た', kVoiced, u'だ'}, {u'ち', kVoiced, u'ぢ'},
    {u'つ', kVoiced, u'づ'}, {u'て', kVoiced, u'で'}, {u'と', kVoiced, u'ど'}, {u'は', kVoiced, u'ば'},
    {u'は', kSemiVoiced, u'ぱ'}, {u'ひ', kVoiced, u'び'}, {u'ひ', kSemiVoiced, u'ぴ'},
    {u'ふ', kVoiced, u'ぶ'}, {u'ふ', kSemiVoiced, u'ぷ'}, {u'へ', kVoiced, u'べ'},
    {u'へ', kSemiVoiced, u'ぺ'}, {u'ほ', kVoiced, u'ぼ'}, {u'ほ', kSemiVoiced, u'ぽ'},
    {u'ゝ', kVoiced, u'ゞ'}, {u'ウ', kVoiced, u'ヴ'}, {u'カ', kVoiced, u'ガ'}, {u'キ', kVoiced, u'ギ'},
    {u'ク', kVoiced, u'グ'}, {u'ケ', kVoiced, u'ゲ'}, {u'コ', kVoiced, u'ゴ'}, {u'サ', kVoiced, u'ザ'},
    {u'シ', kVoiced, u'ジ'}, {u'ス', kVoiced, u'ズ'}, {u'セ', kVoiced, u'ゼ'}, {u'ソ', kVoiced, u'ゾ'},
    {u'タ', kVoiced, u'ダ'}, {u'チ', kVoiced, u'ヂ'}, {u'ツ', kVoiced, u'ヅ'}, {u'テ', kVoiced, u'デ'},
    {u'ト', kVoiced, u'ド'}, {u'ハ', kVoiced, u'バ'}, {u'ハ', kSemiVoiced, u'パ'}, {u'ヒ', kVoiced, u'ビ'},
    {u'ヒ', kSemiVoiced, u'ピ'}, {u'フ', kVoiced, u'ブ'}, {u'フ', kSemiVoiced, u'プ'},
    {u'ヘ', kVoiced, u'ベ'}, {u'ヘ', kSemiVoiced, u'ペ'}, {u'ホ', kVoiced, u'ボ'},
    {u'ホ', kSemiVoiced, u'ポ'}, {u'ヽ', kVoiced, u'ヾ'},
};

// The precomposed character of `base` followed by `mark` when GBK holds one, else 0.
char16_t composeForGbk(char16_t base, char16_t mark)
{
    for (const Composition& c : kGbkCompositions)
        if (c.base == base && c.mark == mark)
            return c.composed;
    return 0;
}

bool isSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

} // namespace

std::string gbkToUtf8(std::string_view gbk)
{
    return convert("UTF-8", "CP936", gbk, oneByte, "\xEF\xBF\xBD");
}

std::string utf8ToGbk(std::string_view utf8)
{
    return convert("CP936", "UTF-8", utf8, utf8SequenceLength, "?");
}

std::optional<std::string> charsetToUtf8(std::string_view bytes, const std::string& charset)
{
    iconv_t probe = iconv_open("UTF-8", charset.c_str());
    if (probe == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    iconv_close(probe);
    std::string lower;
    for (char c : charset)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    // A bad unit of a wide encoding is skipped whole, so the rest stays aligned.
    const bool wide16 = lower.starts_with("utf-16") || lower.starts_with("utf16") || lower.starts_with("ucs-2");
    const bool wide32 = lower.starts_with("utf-32") || lower.starts_with("utf32") || lower.starts_with("ucs-4");
    size_t (*unit)(const char*, size_t) = wide32 ? fourBytes : wide16 ? twoBytes : oneByte;
    if (lower == "utf-8" || lower == "utf8")
        unit = utf8SequenceLength;
    return convert("UTF-8", charset.c_str(), bytes, unit, "?");
}

std::optional<std::string> charsetToGbk(std::string_view bytes, const std::string& charset)
{
    std::optional<std::string> utf8 = charsetToUtf8(bytes, charset);
    if (!utf8)
        return std::nullopt;
    return utf8ToGbk(*utf8);
}

bool isValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead < 0xC2 || lead > 0xF4)
            return false;
        const size_t length = utf8SequenceLength(bytes.data() + i, bytes.size() - i);
        if (length == 1)
            return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        // Over-long forms, surrogates and code points beyond U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

std::string utf16ToGbk(std::u16string_view utf16)
{
    std::string_view bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    return convert("CP936", "UTF-16LE", bytes, twoBytes, "?");
}

std::string utf16ToGbkComposed(std::u16string_view utf16)
{
    std::u16string units;
    units.reserve(utf16.size());
    for (char16_t unit : utf16) {
        if (!units.empty()) {
            if (char16_t composed = composeForGbk(units.back(), unit)) {
                units.back() = composed;
                continue;
            }
        }
        if (unit >= kGrave && unit <= 0x036F)
            continue;
        units.push_back(isSurrogate(unit) ? u'?' : unit);
    }
    return utf16ToGbk(units);
}

} // namespace quill

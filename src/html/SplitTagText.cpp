#include "html/SplitTagText.h"

#include "html/MarkupScanner.h"
#include "platform/GbkText.h"

namespace quill {
namespace {

// The tag text without surrounding blanks and brackets.
std::string_view bareTag(std::string_view text)
{
    text = trim(text);
    if (text.size() > 1 && text.front() == '<')
        text.remove_prefix(1);
    if (text.size() > 1 && text.back() == '>')
        text.remove_suffix(1);
    return text;
}

// A declaration gets "!-- " or "! " in front so that its name is "!--" or "!".
std::string declarationText(std::string_view text)
{
    text.remove_prefix(1);
    if (text.size() > 2 && text.starts_with("--"))
        return "!-- " + std::string(text.substr(2));
    return "! " + std::string(trim(text));
}

// The text before the first blank, unless the blank stands first.
std::string_view nameBeforeBlank(std::string_view text)
{
    std::size_t blank = text.find(' ');
    return (blank != std::string_view::npos && blank >= 1) ? text.substr(0, blank) : text;
}

inline bool isBlankOrBreak(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Cuts at blanks outside quotes; quote bytes and line feeds are dropped, and blanks after "=" are
// skipped so that "href= x" stays one entry.
std::vector<std::string> tokenize(std::string_view text)
{
    std::vector<std::string> tokens;
    std::string token;
    std::size_t segment = 0;
    bool doubleQuoted = false;
    bool singleQuoted = false;
    auto flush = [&](std::size_t at) {
        token.append(text.substr(segment, at - segment));
        segment = at + 1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool quoted = doubleQuoted || singleQuoted;
        if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            flush(i);
            if (!token.empty())
                tokens.push_back(std::move(token));
            token.clear();
        } else if (!quoted && c == '\n') {
            flush(i);
        } else if (c == '"' && !singleQuoted) {
            doubleQuoted = !doubleQuoted;
            flush(i);
        } else if (c == '\'' && !doubleQuoted) {
            singleQuoted = !singleQuoted;
            flush(i);
        } else if (!quoted && c == '=') {
            token.append(text.substr(segment, i + 1 - segment));
            std::size_t next = i + 1;
            while (next < text.size() && isBlankOrBreak(text[next]))
                ++next;
            segment = next;
            i = next - 1;
        }
    }
    token.append(text.substr(segment));
    if (!token.empty())
        tokens.push_back(std::move(token));
    return tokens;
}

} // namespace

std::string splitTagText(std::string_view tagText, std::vector<std::string>* attributes)
{
    std::string_view bare = bareTag(tagText);
    if (bare.starts_with('/')) {
        if (attributes)
            attributes->clear();
        return std::string(trim(bare.substr(1)));
    }
    std::string declaration;
    if (bare.starts_with('!')) {
        declaration = declarationText(bare);
        bare = declaration;
    }
    if (!attributes)
        return std::string(nameBeforeBlank(bare));
    std::vector<std::string> tokens = tokenize(bare);
    attributes->clear();
    if (tokens.empty())
        return {};
    attributes->assign(std::make_move_iterator(tokens.begin() + 1), std::make_move_iterator(tokens.end()));
    return static_cast<unsigned char>(tokens.front()[0]) <= 0x20 ? std::string() : std::move(tokens.front());
}

std::string elementNameOf(std::string_view tagText)
{
    std::string name = tagNameOf(tagText);
    for (char& c : name)
        c = static_cast<char>(foldLetter(static_cast<unsigned char>(c)));
    return std::string(trim(name));
}

} // namespace quill

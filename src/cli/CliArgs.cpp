#include "cli/CliArgs.h"

#include "cli/CliOutput.h"
#include "platform/CodePage.h"
#include "platform/ErrorText.h"

#include <algorithm>
#include <cstdio>

namespace quill::cli {

CliArgs::CliArgs(std::vector<std::string> args) : m_args(std::move(args))
{
    auto raw = std::remove(m_args.begin(), m_args.end(), "--raw");
    m_raw = raw != m_args.end();
    m_args.erase(raw, m_args.end());
}

std::vector<std::string> CliArgs::rest()
{
    std::vector<std::string> rest(m_args.begin() + static_cast<std::ptrdiff_t>(m_next), m_args.end());
    m_next = m_args.size();
    return rest;
}

std::string CliArgs::toGbk(std::string_view argument) const
{
    return m_raw ? std::string(argument) : utf8ToGbk(argument);
}

int usageError(std::string_view usage)
{
    std::fprintf(stderr, "usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
    return kExitUsage;
}

int failure(const CliArgs& args, std::string_view gbkMessage)
{
    const std::string shown = visibleMessage(gbkMessage);
    std::string text = args.raw() ? shown : gbkToUtf8(shown);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    return kExitFailure;
}

} // namespace quill::cli

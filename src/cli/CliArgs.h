#pragma once
// Command-line arguments of one subcommand, with the flags every subcommand shares.

#include <string>
#include <string_view>
#include <vector>

namespace quill::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

class CliArgs {
public:
    // Takes the arguments after the subcommand name; "--raw" is taken out wherever it stands.
    explicit CliArgs(std::vector<std::string> args);

    bool raw() const { return m_raw; }
    bool atEnd() const { return m_next >= m_args.size(); }
    const std::string& peek() const { return m_args[m_next]; }
    std::string take() { return m_args[m_next++]; }
    // The rest of the arguments.
    std::vector<std::string> rest();
    // A text argument as GBK: converted from UTF-8, or taken as bytes with --raw.
    std::string toGbk(std::string_view argument) const;

private:
    std::vector<std::string> m_args;
    size_t m_next = 0;
    bool m_raw = false;
};

// Writes "usage: ..." to stderr and returns kExitUsage.
int usageError(std::string_view usage);

// Writes a failed operation's GBK message to stderr and returns kExitFailure.
int failure(const CliArgs& args, std::string_view gbkMessage);

} // namespace quill::cli

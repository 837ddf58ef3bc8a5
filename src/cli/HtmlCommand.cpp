// quillmarkbox-cli html: the element tree and the two page walks, offline.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "html/PageWalks.h"
#include "html/PageParser.h"
#include "platform/FileSystem.h"
#include "platform/QueueDispatcher.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sys/stat.h>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage = "quillmarkbox-cli html tree|head|links [--raw] FILE";

// The page's bytes; nothing when there is no such file (or a folder of that name); the error
// text when it cannot be read.
Result<std::optional<std::string>> readPage(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::optional<std::string>();
        return Status::failure(fileErrorText(errno));
    }
    if (S_ISDIR(info.st_mode))
        return std::optional<std::string>();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return Status::failure(fileErrorText(errno));
    std::string bytes;
    char buffer[1 << 16];
    std::size_t got = 0;
    // One byte past the parser's bound is enough to refuse the page; a device may never end.
    while (bytes.size() <= kMaxPageBytes && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    const int error = std::ferror(file) ? (errno ? errno : EIO) : 0;
    std::fclose(file);
    if (error)
        return Status::failure(fileErrorText(error));
    return std::optional<std::string>(std::move(bytes));
}

// Parses as the window does: on the parser's worker, the UI queue drained until it says so.
void parse(PageParser& parser, QueueDispatcher& ui, std::string bytes)
{
    parser.parseText(std::move(bytes));
    bool parsed = false;
    parser.whenIdle([&parsed] { parsed = true; });
    while (!parsed)
        ui.runOne(std::chrono::milliseconds(1000));
}

// Every node below the root, depth first: two blanks per level, the name, TAB, the inner text.
void printTree(const ParsedPage& page, CliOutput& out)
{
    const ElementNode* parent = &page.root();
    const ElementNode* node = parent->first();
    std::size_t depth = 0;
    for (;;) {
        if (node) {
            out.plain(std::string(2 * depth, ' '));
            out.field(node->name());
            out.plain("\t");
            out.field(page.innerText(*node));
            out.plain("\n");
            parent = node;
            node = node->first();
            ++depth;
            continue;
        }
        if (parent == &page.root())
            return;
        parent = parent->parent();
        --depth;
        node = parent->next();
    }
}

} // namespace

int runHtml(CliArgs& args)
{
    std::vector<std::string> rest = args.rest();
    if (rest.size() != 2 || (rest[0] != "tree" && rest[0] != "head" && rest[0] != "links") || rest[1].starts_with("--"))
        return usageError(kUsage);
    const std::string& path = rest[1];
    Result<std::optional<std::string>> read = readPage(path);
    if (!read)
        return failure(args, read.status().message());
    if (!read.value()) {
        std::fprintf(stderr, "no such file: %s\n", path.c_str());
        return kExitFailure;
    }

    QueueDispatcher ui;
    PageParser parser(ui);
    parse(parser, ui, std::move(*read.value()));
    const ParsedPage& page = parser.page();
    if (!page.status())
        return failure(args, page.status().message());
    CliOutput out(args.raw());
    if (rest[0] == "tree") {
        printTree(page, out);
        return kExitOk;
    }
    for (const std::string& line : rest[0] == "head" ? pageHeaderLines(page) : pageLinkLines(page)) {
        out.field(line);
        out.plain("\n");
    }
    return kExitOk;
}

} // namespace quill::cli

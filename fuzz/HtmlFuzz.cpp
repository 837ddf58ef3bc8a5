// libFuzzer target: any bytes parse into a sound tree, and the walks over it finish.

#include "html/PageWalks.h"
#include "html/ParsedPage.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quill::ParsedPage page(std::string(reinterpret_cast<const char*>(data), size));
    const std::atomic<bool> stop{false};
    page.build(stop);

    const quill::ElementNode& root = page.root();
    require(root.count() > 0 && root.item(root.count() - 1)->name() == "@DOCUMENT");
    require(page.nodes().size() == page.elements().size() + 1);
    for (const quill::Element& element : page.elements()) {
        require(element.node && element.node->element() == &element);
        if (element.closed && !element.empty && element.contentStart <= element.contentEnd)
            require(element.contentStart >= 1 && element.contentEnd <= size);
        quill::attributes(element);
    }
    quill::pageHeaderLines(page);
    quill::pageLinkLines(page);
    return 0;
}

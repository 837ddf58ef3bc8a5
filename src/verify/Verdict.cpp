#include "verify/Verdict.h"

#include "platform/CodePage.h"

#include <array>

namespace quill {
namespace {

const std::array<std::string, 5>& words()
{
    static const std::array<std::string, 5> texts = {"", gbk("已验证"), gbk("伪装"), gbk("未知"), gbk("无法验证")};
    return texts;
}

} // namespace

const std::string& verdictText(Verdict verdict)
{
    return words()[static_cast<size_t>(verdict)];
}

std::optional<Verdict> verdictFromText(std::string_view text)
{
    for (size_t i = 1; i < words().size(); ++i)
        if (words()[i] == text)
            return static_cast<Verdict>(i);
    return std::nullopt;
}

} // namespace quill

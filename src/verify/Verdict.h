#pragma once
// What the DNS check says about a crawler visit.

#include <optional>
#include <string>
#include <string_view>

namespace quill {

enum class Verdict : unsigned char {
    None = 0,      // not checked: not a crawler line, or verification is off
    Verified,      // 已验证: the PTR name lies in the engine's domains and resolves back to the address
    Fake,          // 伪装: no PTR, a name outside the domains, or a forward lookup that does not return
    Unknown,       // 未知: no usable answer (time-out, server failure, no DNS reachable)
    NotVerifiable, // 无法验证: the engine publishes no procedure; never called fake
};

// The verdict word in GBK ("已验证", "伪装", "未知", "无法验证"); empty for None.
const std::string& verdictText(Verdict verdict);

// The verdict whose GBK word is `text`; nothing for any other text.
std::optional<Verdict> verdictFromText(std::string_view text);

} // namespace quill

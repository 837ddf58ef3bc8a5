#pragma once
// What the buttons of the "解码" page produce from the input text (its lines joined by CR LF), so
// that the page only shows it.

#include "platform/Status.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill {

// `lfJoined` with each LF made CR LF: an edit box's lines as the buttons take them. An LF byte is
// never part of a GBK double-byte character.
std::string withCrLf(std::string_view lfJoined);

// "URL转汉字": urlDecode of `input`, up to a decoded NUL, which ends the appended text.
Result<std::string> urlToChinese(std::string_view input);

// "UTF8码转GB": urlDecode of `input`, then utf8ToCodePage.
Result<std::string> utf8ToGb(std::string_view input);

// "分词": the lines of splitPhrases(`input`) without repeats, each line kept where it first occurs.
// Lines end at CR, LF or CR LF and are compared exactly; a final line break adds no empty line.
std::vector<std::string> distinctPhrases(std::string_view input);

} // namespace quill

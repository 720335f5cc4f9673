// Column names as the outputs can hold them. Names are carried as the file's bytes; only where an
// output needs it are they made valid UTF-8 (JSON, SVG) or shortened and escaped (the summary,
// messages, plot labels), so that no name, however long or odd, can break a line or a document.
#ifndef KELMATH_TOOLS_KELMATH_NAME_TEXT_H
#define KELMATH_TOOLS_KELMATH_NAME_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kelmath_cli {

// Longest name, in bytes of its shown form, that the summary and messages print in full.
inline constexpr size_t kShownNameBytes = 40;

// The text with every byte that is not part of a well-formed UTF-8 sequence (overlong forms,
// surrogates and code points above U+10FFFF included) replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// The name as one short printable piece of text: control characters, DEL and bytes that are not
// well-formed UTF-8 written as \xNN; when that is longer than kShownNameBytes, cut at a character
// boundary and ended with "...".
std::string ShownName(std::string_view name);

}  // namespace kelmath_cli

#endif

// Names made valid UTF-8 for JSON and SVG, and shortened and escaped for the summary, against
// hand-written byte sequences (Unicode's Table 3-7 of well-formed sequences).
#include "name_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kelmath_cli::ShownName;
using kelmath_cli::ValidUtf8;

const std::string kFffd = "\xEF\xBF\xBD";

TEST(NameText, ValidUtf8KeepsWellFormedSequencesAndReplacesEveryOtherByte) {
  const struct {
    std::string text;
    std::string valid;
  } cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // U+20AC
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // U+1F600
      {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},  // U+10FFFF, the last code point
      {"x\xFF", "x" + kFffd},
      {"\xC3(", kFffd + "("},                               // a lead byte without its continuation
      {"\xC0\xAF", kFffd + kFffd},                          // overlong '/'
      {"\xE0\x80\xAF", kFffd + kFffd + kFffd},              // overlong, three bytes
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},              // a surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // above U+10FFFF
      {"\xE2\x82", kFffd + kFffd},                          // cut at the end
      {"\x80", kFffd},                                      // a lone continuation byte
      {std::string("a\0b", 3), std::string("a\0b", 3)},     // NUL is valid UTF-8 (JSON escapes it)
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.text), c.valid) << c.text;
}

TEST(NameText, ShownNameEscapesControlsAndBadBytesAndCutsLongNames) {
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"Solar.R", "Solar.R"},
      {"", ""},
      {std::string("a\0b", 3), "a\\x00b"},
      {"a\nb\rc\td", "a\\x0Ab\\x0Dc\\x09d"},
      {"del\x7F", "del\\x7F"},
      {"x\xFF\xC3(", "x\\xFF\\xC3("},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {std::string(40, 'a'), std::string(40, 'a')},  // exactly the limit: in full
      {std::string(41, 'a'), std::string(37, 'a') + "..."},
      {std::string(36, 'a') + "\xC3\xA9\xC3\xA9", std::string(36, 'a') + "\xC3\xA9\xC3\xA9"},
      // A character is never split by the cut.
      {std::string(36, 'a') + "\xC3\xA9\xC3\xA9x", std::string(36, 'a') + "..."},
      // An escape is never split either.
      {std::string(35, 'a') + "\n" + std::string(10, 'b'), std::string(35, 'a') + "..."},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownName(c.name), c.shown) << c.name;
}

TEST(NameText, ShownNameOfAHugeNameIsShort) {
  EXPECT_EQ(ShownName(std::string(10'000'000, 'L')), std::string(37, 'L') + "...");
}

}  // namespace

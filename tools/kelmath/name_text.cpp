#include "name_text.h"

#include <cstdio>
#include <string>

namespace kelmath_cli {

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";
constexpr const char* kCut = "...";

// Length of the well-formed UTF-8 sequence starting at at (RFC 3629, Table 3-7 of Unicode), or 0.
size_t SequenceLength(std::string_view text, size_t at) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  return length;
}

std::string Escaped(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", c);
  return text;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text, at);
    if (length == 0) {
      valid += kReplacementCharacter;
      ++at;
    } else {
      valid.append(text.substr(at, length));
      at += length;
    }
  }
  return valid;
}

std::string ShownName(std::string_view name) {
  const size_t room = kShownNameBytes - std::char_traits<char>::length(kCut);
  std::string shown;
  size_t fits = 0;  // length of the longest whole-piece start of shown that leaves room for kCut
  for (size_t at = 0; at < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[at]);
    const size_t length = SequenceLength(name, at);
    if (length == 0 || c < 0x20 || c == 0x7F) {
      shown += Escaped(c);
      ++at;
    } else {
      shown.append(name.substr(at, length));
      at += length;
    }
    if (shown.size() <= room) fits = shown.size();
    if (shown.size() > kShownNameBytes) return shown.substr(0, fits) + kCut;
  }
  return shown;
}

}  // namespace kelmath_cli

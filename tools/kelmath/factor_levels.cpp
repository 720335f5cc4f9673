#include "factor_levels.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kelmath_cli {
namespace {

// The primary weight of a byte: blanks and control characters, then punctuation in the order of
// the collation's table, then digits, then letters without regard to case, then other bytes.
int primaryWeight(unsigned char c) {
  static const char kPunctuation[] = "_-,;:!?.'\"()[]{}@*/\\&#%`^+<=>|~$";
  if (c <= ' ' || c == 127) return c;
  if (const char* p = std::strchr(kPunctuation, c); p != nullptr && c != 0)
    return 200 + static_cast<int>(p - kPunctuation);
  if (std::isdigit(c)) return 300 + c;
  if (std::isalpha(c)) return 400 + std::tolower(c);
  return 600 + c;
}

}  // namespace

bool CollatesBefore(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int wa = primaryWeight(static_cast<unsigned char>(a[i]));
    const int wb = primaryWeight(static_cast<unsigned char>(b[i]));
    if (wa != wb) return wa < wb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  // Equal but for case: the first lower case letter where they differ comes first.
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) != 0;
  return false;
}

std::vector<std::string> SortedLevels(std::vector<std::string> labels) {
  std::sort(labels.begin(), labels.end(),
            [](const std::string& x, const std::string& y) { return CollatesBefore(x, y); });
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  return labels;
}

}  // namespace kelmath_cli

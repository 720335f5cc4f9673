// The levels of a factor in R's order: numbers by value, text as R sorts it under its default
// (ICU) collation, which the coefficient names and the choice of the reference level follow.
#ifndef KELMATH_TOOLS_KELMATH_FACTOR_LEVELS_H
#define KELMATH_TOOLS_KELMATH_FACTOR_LEVELS_H

#include <string>
#include <string_view>
#include <vector>

namespace kelmath_cli {

// True when R's sort() puts a before b: letters compared regardless of case first, after digits,
// which come after blanks and punctuation; then, at the first letter differing only in case, the
// lower case one first; then byte by byte. Bytes beyond ASCII sort after every ASCII character
// (R would weigh accented letters with their base letter).
bool CollatesBefore(std::string_view a, std::string_view b);

// The distinct labels sorted as R sorts them.
std::vector<std::string> SortedLevels(std::vector<std::string> labels);

}  // namespace kelmath_cli

#endif

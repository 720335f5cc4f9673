// The library's warnings as the command shows them: each text the library writes is found on
// the captured channel and becomes one sentence; unknown texts become one-line notes.
#include "library_warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/kel_output.h"

namespace {

using kelmath_cli::WarningLines;
using kelmath_cli::WarningSentence;

TEST(LibraryWarnings, KnownTextsBecomeSentencesAndOthersNotes) {
  const struct {
    std::string text;
    std::string line;
  } cases[] = {
      {"Robust 3 4832 3.556583e-21",
       "warning: the robust fit stopped after 4832 iterations, its median squared residual at "
       "3.557e-21: half the rows or more are fitted almost exactly, or the search stalled; the "
       "robust estimates may not be the best"},
      {"Robust 3 4832 3.5e-21 and more", "note: Robust 3 4832 3.5e-21 and more"},
      {"KelExceptionHandling",
       "warning: the robust fit stopped on a numerical failure; its results are incomplete"},
      {"a or b too big or is ITMAX to small in function KelBetaContinuedFractions",
       "warning: a P value may be inaccurate (the incomplete beta function did not converge)"},
      {"Either the value of a is too large or is ITMAX to small in function KelGammaSerie",
       "warning: a P value may be inaccurate (the incomplete gamma function did not converge)"},
      {"norm = 0", "warning: a vector of length zero could not be normalized"},
      {"KelFactorized class\n\nDimension check failure\n\nFunction: Determinant",
       "note: KelFactorized class Dimension check failure Function: Determinant"},
  };
  for (const auto& c : cases) EXPECT_EQ(WarningSentence(c.text), c.line) << c.text;
}

// The texts are taken from what KelWarning really writes, through a captured channel.
TEST(LibraryWarnings, WarningsAreFoundOnTheChannelCountedAndJoined) {
  std::string captured;
  {
    KelOutputScope capture(captured);
    const signed char saved = kelWarningMode.load();
    kelWarningMode = 0;
    KelWarning("norm = 0");
    KelWarning("first line\nsecond line");
    KelWarning("norm = 0");
    kelWarningMode = saved;
  }
  const std::vector<std::string> expected = {
      "warning: a vector of length zero could not be normalized (2 times)",
      "note: first line second line"};
  EXPECT_EQ(WarningLines(captured), expected);
  EXPECT_TRUE(WarningLines("no warning here").empty());
}

}  // namespace

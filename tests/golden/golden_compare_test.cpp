// The comparator of the golden report tests: which differences it tolerates and how it reports
// the others.
#include "golden_compare.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using golden::CompareTexts;
using golden::SplitLine;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const std::string golden_text =
    "\nLeast Square Regression Analysis\n"
    "Parameters No.12\n"
    "    1     1.23456789012340e+00\n"
    "    2    -4.50000000000000e-03\n"
    "SSE 2.000000e+00 dfNum 22 dfDen 6\n"
    "<line x1=\"12.5\" y1=\"3.25\"/>\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(GoldenCompare, IdenticalTextsAgree) {
  EXPECT_EQ(CompareTexts("KelFile.txt", golden_text, golden_text), "");
}

TEST(GoldenCompare, NumberDifferingAtOneInTenToTheEightFails) {
  // 1.2345678901234 (1 + 1e-8) = 1.234567902469...
  const std::string output = Replace(golden_text, "1.23456789012340e+00", "1.23456790246908e+00");
  const std::string result = CompareTexts("KelFile.txt", golden_text, output);
  EXPECT_TRUE(Contains(result, "KelFile.txt:4: lines differ")) << result;
  EXPECT_TRUE(Contains(result, "  golden: \"    1     1.23456789012340e+00\"")) << result;
  EXPECT_TRUE(Contains(result, "  output: \"    1     1.23456790246908e+00\"")) << result;
  EXPECT_TRUE(Contains(result,
                       "number \"1.23456789012340e+00\" became \"1.23456790246908e+00\" "
                       "(relative difference 1e-08)"))
      << result;
}

TEST(GoldenCompare, NumberDifferingAtOneInTenToTheElevenPasses) {
  // 1.2345678901234 (1 + 1e-11) = 1.23456789013575
  const std::string output = Replace(golden_text, "1.23456789012340e+00", "1.23456789013575e+00");
  EXPECT_EQ(CompareTexts("KelFile.txt", golden_text, output), "");
  // Also inside punctuation (plot images) and with a negative sign.
  EXPECT_EQ(CompareTexts("a.svg", "<line x1=\"-4.5e-3\"/>", "<line x1=\"-4.50000000001e-3\"/>"),
            "");
  EXPECT_NE(CompareTexts("a.svg", "<line x1=\"-4.5e-3\"/>", "<line x1=\"-4.5001e-3\"/>"), "");
}

TEST(GoldenCompare, SameValueInAnotherFormatPasses) {
  EXPECT_EQ(CompareTexts("f", "x 1.5e+00 y", "x 1.50 y"), "");
  EXPECT_EQ(CompareTexts("f", "x -0.000000e+00 y", "x 0.000000e+00 y"), "");
}

TEST(GoldenCompare, ZeroMatchesOnlyZero) {
  EXPECT_NE(CompareTexts("f", "residual 0.000000e+00", "residual 1.000000e-300"), "");
  EXPECT_NE(CompareTexts("f", "residual 1.000000e-300", "residual 0"), "");
}

TEST(GoldenCompare, ChangedWordFails) {
  const std::string output = Replace(golden_text, "Least Square", "Least Squares");
  const std::string result = CompareTexts("KelFile.txt", golden_text, output);
  EXPECT_TRUE(Contains(result, "KelFile.txt:2: lines differ")) << result;
  EXPECT_TRUE(Contains(result, "text \"Square\" became text \"Squares\"")) << result;
}

TEST(GoldenCompare, ChangedWhiteSpaceOrPunctuationFails) {
  EXPECT_NE(CompareTexts("f", golden_text, Replace(golden_text, "SSE 2", "SSE  2")), "");
  EXPECT_NE(CompareTexts("f", golden_text, Replace(golden_text, "\"12.5\"", "'12.5'")), "");
}

TEST(GoldenCompare, WordsHoldingDigitsAreComparedExactly) {
  // Object numbers: "No.12" is a word, not a number.
  const std::string output = Replace(golden_text, "No.12", "No.13");
  const std::string result = CompareTexts("KelFile.txt", golden_text, output);
  EXPECT_TRUE(Contains(result, "KelFile.txt:3:")) << result;
  EXPECT_TRUE(Contains(result, "text \"No.12\" became text \"No.13\"")) << result;
  EXPECT_NE(CompareTexts("f", "x1 nan", "x1 -nan"), "");
}

TEST(GoldenCompare, NumberBecomingWordFails) {
  const std::string result = CompareTexts("f", "dfDen 6", "dfDen six");
  EXPECT_TRUE(Contains(result, "number \"6\" became text \"six\"")) << result;
}

TEST(GoldenCompare, MissingLineFails) {
  const std::string output = Replace(golden_text, "SSE 2.000000e+00 dfNum 22 dfDen 6\n", "");
  const std::string result = CompareTexts("KelFile.txt", golden_text, output);
  EXPECT_TRUE(Contains(result, "KelFile.txt:6: lines differ")) << result;
  EXPECT_TRUE(Contains(result, "KelFile.txt:8: line missing from the output\n  golden: \"\""))
      << result;
  EXPECT_TRUE(Contains(result, "KelFile.txt: 8 golden lines, 7 output lines")) << result;
}

TEST(GoldenCompare, ExtraLineFails) {
  const std::string result = CompareTexts("KelFile.txt", golden_text, golden_text + "more\n");
  EXPECT_TRUE(Contains(result, "KelFile.txt:8: lines differ\n  golden: \"\"\n  output: \"more\""))
      << result;
  EXPECT_TRUE(Contains(result, "KelFile.txt:9: extra line in the output\n  output: \"\""))
      << result;
  // A missing last line break is a difference too.
  EXPECT_NE(CompareTexts("f", "a\n", "a"), "");
}

TEST(GoldenCompare, ReportsAreLimitedAndCounted) {
  std::string expected, actual;
  for (int i = 0; i < 15; ++i) expected += "1\n", actual += "2\n";
  const std::string result = CompareTexts("f", expected, actual, 10);
  EXPECT_TRUE(Contains(result, "f:10: lines differ")) << result;
  EXPECT_FALSE(Contains(result, "f:11: lines differ")) << result;
  EXPECT_TRUE(Contains(result, "f: 5 more mismatching lines")) << result;
}

TEST(GoldenCompare, SplitLineKeepsTheLineAndFindsTheNumbers) {
  const std::string line = "    2    -4.5e-03 No.12 x1=\"12.5\" 1-2 .5 5. +3 e5 1e";
  std::string joined;
  std::string numbers;
  for (const golden::Piece& piece : SplitLine(line)) {
    joined += piece.text;
    if (piece.isNumber) numbers += "[" + piece.text + "]";
  }
  EXPECT_EQ(joined, line);
  EXPECT_EQ(numbers, "[2][-4.5e-03][12.5][.5][5.][+3]");
}

}  // namespace

// The reference data live in the repository (tests/reference/); a file that cannot be opened
// fails its test with the file's name.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "kel_test_support.h"

namespace {

TEST(ReferenceFiles, LiveInsideTheRepository) {
  const std::string source = KELMATH_SOURCE_DIR;
  EXPECT_EQ(kel_test::ReferencePath("r/lm_X6.txt"), source + "/tests/reference/r/lm_X6.txt");
  std::ifstream in = kel_test::OpenReference("nist/linear/Norris.cert");
  std::string word;
  EXPECT_TRUE(static_cast<bool>(in >> word));
}

TEST(ReferenceFiles, MissingFileFailsNamingIt) {
  try {
    kel_test::OpenReference("r/no_such_file.txt");
    FAIL() << "no exception for a missing reference file";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("tests/reference/r/no_such_file.txt"),
              std::string::npos)
        << error.what();
  }
}

}  // namespace

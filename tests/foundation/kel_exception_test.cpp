// Throw mode: the exception's text, category and class, the mode's scope and threads.
#include <cerrno>
#include <string>
#include <thread>

#include "kel_test_support.h"
#include "kelmath.h"

TEST(ThrowMode, ExceptionCarriesTheFatalTextItsClassAndCategory) {
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelVector v(2);
  try {
    v.GetValue(3);
    FAIL() << "nothing thrown";
  } catch (const KelException& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "KelVector class\n\nIndex out of range\n\nFunction: GetValue", 0),
              0u);
    EXPECT_EQ(e.ClassText(), "KelVector class");
    EXPECT_EQ(e.Category(), KelErrorCategory::Index);
  }
}

TEST(ThrowMode, NothingReachesStandardErrorOrTheChannel) {
  std::string output;
  testing::internal::CaptureStderr();
  {
    KelErrorModeScope throwing(KelErrorMode::Throw);
    KelOutputScope capture(output);
    KelPrint("before ");
    EXPECT_THROW(KelError("%s", kelErrOpen), KelException);
    KelPrint("after");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(output, "before after");
}

TEST(ThrowMode, ScopePutsThePreviousModeBackOnAnException) {
  ASSERT_EQ(KelGetErrorMode(), KelErrorMode::Exit);
  try {
    KelErrorModeScope throwing(KelErrorMode::Throw);
    EXPECT_EQ(KelGetErrorMode(), KelErrorMode::Throw);
    KelError("%s", "boom");
  } catch (const KelException&) {
  }
  EXPECT_EQ(KelGetErrorMode(), KelErrorMode::Exit);
}

TEST(ThrowMode, ModeBelongsToTheCallingThreadAndNewThreadsStartFromTheMainOne) {
  KelErrorModeScope throwing(KelErrorMode::Throw);
  KelErrorMode seenByThread = KelErrorMode::Exit;
  KelErrorMode afterThreadChange = KelErrorMode::Exit;
  std::thread worker([&] {
    seenByThread = KelGetErrorMode();
    KelSetErrorMode(KelErrorMode::Exit);
    afterThreadChange = KelGetErrorMode();
  });
  worker.join();
  EXPECT_EQ(seenByThread, KelErrorMode::Throw);
  EXPECT_EQ(afterThreadChange, KelErrorMode::Exit);
  EXPECT_EQ(KelGetErrorMode(), KelErrorMode::Throw);
}

TEST(ThrowMode, EveryKindOfTextHasItsCategory) {
  const struct {
    const char* text;
    KelErrorCategory category;
  } cases[] = {
      {"KelVector class\n\nIndex out of range\n\nFunction: GetValue", KelErrorCategory::Index},
      {"KelMatrix class\n\nDimension check failure\n\nFunction: Product",
       KelErrorCategory::Dimension},
      {"KelVector class\n\nNo room in heap\n\nFunction: Initialize", KelErrorCategory::OutOfMemory},
      {"\nCan't open FILE\n", KelErrorCategory::FileOpen},
      {"KelLoad class\nCan't read FILE\nx.lrg\nline 2, item 3: end of file",
       KelErrorCategory::FileRead},
      {"\nCan't write FILE\n", KelErrorCategory::FileWrite},
      {"\nCan't close FILE\n", KelErrorCategory::FileClose},
      {"KelLinearRegression class\nNon-finite data\nF(2, 1) = nan",
       KelErrorCategory::NonFiniteData},
      {"KelFactorized class\n\nFunction not implemented\n\nFunction: Solve",
       KelErrorCategory::NotImplemented},
      {"KelFactorized class\nKelMatrix Destroyed", KelErrorCategory::NotFactorized},
      {"KelFactorizedSymmetricBase class\n The matrix is singular", KelErrorCategory::Singular},
      {"KelLinearRegression class\n\nssm == 0.", KelErrorCategory::Singular},
      {"Bad x in function KelIncompleteBeta", KelErrorCategory::Domain},
      {"Division with 0.", KelErrorCategory::Domain},
      {"KelLogFactorial requires positive argument", KelErrorCategory::Domain},
      {"something else", KelErrorCategory::Other},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KelErrorCategoryName(KelClassifyError(c.text)), KelErrorCategoryName(c.category))
        << c.text;
}

TEST(ThrowMode, ClassTextIsTheFirstLineOnlyWhenItNamesAClass) {
  EXPECT_EQ(KelMakeException("class KelVectorInt\n\nIndex out of range\n").ClassText(),
            "class KelVectorInt");
  EXPECT_EQ(KelMakeException("KelLoad class\nCan't open FILE\n").ClassText(), "KelLoad class");
  EXPECT_EQ(KelMakeException("Division with 0.").ClassText(), "");
}

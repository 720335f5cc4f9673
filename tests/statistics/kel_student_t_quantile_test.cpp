// Student t quantiles against R's qt, hand-worked closed forms and the inverse relation.
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

// The "t[dof,p] = value" lines of t_quantiles.txt, by key.
std::map<std::string, double> ReadQuantiles() {
  std::ifstream in = kel_test::OpenReference("r/t_quantiles.txt");
  std::map<std::string, double> values;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("t[", 0) != 0) continue;
    const size_t equals = line.find(" = ");
    values[line.substr(0, equals)] = std::stod(line.substr(equals + 3));
  }
  return values;
}

TEST(StudentTQuantile, AgreesWithRToTenDigitsFromOneToAMillionDegreesOfFreedom) {
  const std::map<std::string, double> reference = ReadQuantiles();
  int compared = 0;
  for (const auto& [key, value] : reference) {
    const size_t comma = key.find(',');
    const double dof = std::stod(key.substr(2, comma - 2));
    const double p = std::stod(key.substr(comma + 1, key.size() - comma - 2));
    const double t = KelTStudentQuantile(p, dof);
    EXPECT_LE(std::fabs(t - value), 1e-10 * std::fabs(value))
        << key << ": " << t << " against R " << value;
    ++compared;
  }
  EXPECT_EQ(compared, 75);
}

TEST(StudentTQuantile, ClosedFormsForOneAndTwoDegreesOfFreedom) {
  // One degree of freedom is the Cauchy distribution: t = tan(pi (1/2 - p)) = 1 / tan(pi p).
  // Two: P(T > t) = (1 - t / sqrt(2 + t^2)) / 2, so t = (1 - 2p) / sqrt(2 p (1 - p)).
  for (double p : {0.4, 0.1, 0.025, 0.005, 1e-6, 1e-12}) {
    const double cauchy = 1.0 / std::tan(std::numbers::pi * p);
    EXPECT_NEAR(KelTStudentQuantile(p, 1.0), cauchy, 1e-12 * cauchy) << p;
    const double two = (1.0 - 2.0 * p) / std::sqrt(2.0 * p * (1.0 - p));
    EXPECT_NEAR(KelTStudentQuantile(p, 2.0), two, 1e-12 * two) << p;
  }
}

TEST(StudentTQuantile, IsOddAboutTheMedianAndTendsToTheNormalQuantile) {
  EXPECT_EQ(KelTStudentQuantile(0.5, 7.0), 0.0);
  EXPECT_DOUBLE_EQ(KelTStudentQuantile(0.975, 12.0), -KelTStudentQuantile(0.025, 12.0));
  // qnorm(0.975) = 1.959963984540054; at 10^9 degrees of freedom t differs by about z^3/(4 nu).
  EXPECT_NEAR(KelTStudentQuantile(0.025, 1e9), 1.959963984540054, 1e-8);
}

TEST(StudentTQuantile, InvertsTheLibraryTailProbability) {
  for (int dof : {3, 17, 40, 250}) {
    for (double p : {0.2, 0.025, 0.005}) {
      // The quantile is good to 1e-10 relative; the tail's slope there is modest.
      EXPECT_NEAR(KelTStudentProbability(dof, KelTStudentQuantile(p, dof)), p, 1e-10 * p);
    }
  }
}

TEST(StudentTQuantileDeathTest, ProbabilityOutsideTheOpenIntervalIsFatal) {
  EXPECT_KEL_FATAL(
      KelTStudentQuantile(0.0, 5.0),
      "KelTStudentQuantile\nThe tail probability must lie strictly between 0 and 1\np = 0");
  EXPECT_KEL_FATAL(
      KelTStudentQuantile(1.0, 5.0),
      "KelTStudentQuantile\nThe tail probability must lie strictly between 0 and 1\np = 1");
  EXPECT_KEL_FATAL(
      KelTStudentQuantile(std::nan(""), 5.0),
      "KelTStudentQuantile\nThe tail probability must lie strictly between 0 and 1\np = nan");
  EXPECT_KEL_FATAL(KelTStudentQuantile(0.025, 0.0),
                   "KelTStudentQuantile\nThe degrees of freedom must be positive\ndf = 0");
}

}  // namespace

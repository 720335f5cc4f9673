// MAD, unbiasing factor, shortest half, trimmed scale, robust deviates and the outlier-rejecting
// mean and variance: worked examples and the R values of the demonstration samples.
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kel_statistics_samples.h"
#include "kel_test_support.h"
#include "kelmath.h"

using namespace kel_statistics_test;

namespace {

void ExpectRelativelyNear(double value, double reference, double tolerance,
                          const std::string& what) {
  EXPECT_LE(std::fabs(value - reference), tolerance * std::fabs(reference))
      << what << ": value " << value << " reference " << reference;
}

std::map<std::string, KelVector> DemonstrationSamples() {
  return {{"S1", SampleS1()},
          {"S2", SampleS2()},
          {"S3", SampleS3()},
          {"S4", SampleS4()},
          {"S5", SampleS5()}};
}

}  // namespace

TEST(Mad, WorkedValueAndConstantSample) {
  // Median 3; absolute deviations 2 1 0 1 6 -> median 1.
  const KelVector x(5, 1., 2., 3., 4., 9.);
  EXPECT_DOUBLE_EQ(KelMad(x), 1.4826);
  // About 0: 1 2 3 4 9 -> 3.
  EXPECT_DOUBLE_EQ(KelMad(x, 0.0), 3.0 * 1.4826);
  const KelVector constant(4, 2.5, 2.5, 2.5, 2.5);
  EXPECT_EQ(KelMad(constant), 0.0);
  const KelVector z = ResidualsRobustDeviate(constant);
  EXPECT_TRUE(z == KelVector(4, 0., 0., 0., 0.));
}

TEST(UnbiasingFactor, HandValues) {
  EXPECT_EQ(KelUnbiasingFactor(1), 1.0);
  // n = 2: c4 = sqrt(2) Gamma(1) / Gamma(1/2) = sqrt(2/pi).
  EXPECT_NEAR(KelUnbiasingFactor(2), std::sqrt(M_PI / 2.0), 1e-15);
  // n = 3: c4 = sqrt(1) Gamma(3/2) / Gamma(1) = sqrt(pi)/2.
  EXPECT_NEAR(KelUnbiasingFactor(3), 2.0 / std::sqrt(M_PI), 1e-15);
  EXPECT_TRUE(std::isnan(KelUnbiasingFactor(0)));
}

TEST(DemonstrationSamples, MadUnbiasingFactorAndMad2AgreeWithR) {
  const std::map<std::string, double> reference = ReadStatisticsReference();
  for (const auto& [name, sample] : DemonstrationSamples()) {
    // Same constant and centre as R's mad(): only the rounding of |x - median| differs.
    ExpectRelativelyNear(KelMad(sample), reference.at(name + ".mad"), 1e-12, name + " mad");
    // The factor is the exponential of a difference of two log-gammas of modest size.
    ExpectRelativelyNear(KelUnbiasingFactor(sample.Size()),
                         reference.at(name + ".unbiasing_factor"), 1e-13, name + " factor");
    ExpectRelativelyNear(KelMad2(sample), reference.at(name + ".mad2"), 1e-12, name + " mad2");
  }
}

TEST(DemonstrationSamples, RobustDeviatesAgreeWithR) {
  const std::map<std::string, double> reference = ReadStatisticsReference();
  for (const std::string name : {"S3", "S4"}) {
    const KelVector z = ResidualsRobustDeviate(DemonstrationSamples().at(name));
    ASSERT_EQ(z.Size(), 6);
    for (int i = 1; i <= 6; ++i) {
      const std::string key = name + ".z_robust[" + std::to_string(i) + "]";
      // Deviations of nearly equal values: a few units of rounding in x - median, relative to
      // a difference of 1e-3, allow 1e-11.
      ExpectRelativelyNear(z(i), reference.at(key), 1e-11, key);
    }
  }
}

TEST(ShortestHalf, WorkedValues) {
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector()), 0.0);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(1, 4.)), 4.0);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(2, 4., 6.)), 5.0);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(3, 4., 1., 2.)), 1.5);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(3, 4., 3., 1.)), 3.5);
  // Equal gaps: the lower pair wins.
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(3, 1., 2., 3.)), 1.5);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(4, 10., 3., 2., 1.)), 2.0);
  // n = 5, h = 2: intervals s3-s1 = 2, s4-s2 = 1.5, s5-s3 = 1 -> (3 + 4) / 2. The top interval
  // counts for odd n too, so that mirroring the sample mirrors the midpoint.
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(5, 1., 2., 3., 3.5, 4.)), 3.5);
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(5, -1., -2., -3., -3.5, -4.)), -3.5);
  // Bottom and top intervals equally short (2): the bottom one wins.
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(5, 1., 1.5, 3., 4.5, 5.)), 2.0);
  // First shortest wins: 1 2 3 4 with h = 2: s3-s1 = 2 = s4-s2 -> (1 + 3) / 2.
  EXPECT_EQ(KelShortestHalfMidpoint(KelVector(4, 4., 3., 2., 1.)), 2.0);
  // Widths beyond 1e30 still compare: s4-s2 = 1.05e31 is the shortest -> (1e31 + 2.05e31) / 2.
  EXPECT_DOUBLE_EQ(KelShortestHalfMidpoint(KelVector(5, 0., 1e31, 2e31, 2.05e31, 9e31)), 1.525e31);
}

TEST(TrimmedScale, HandWorkedValues) {
  // Squared deviations from 0 sorted: 1 4 9 16. h = 2: stop at i = 2 (4 > 0), sum 5,
  // f = 1/2, factor 6 - 5/2 = 3.5, result sqrt(5 / 1) x 3.5.
  const KelVector x(4, -2., 1., 4., 3.);
  EXPECT_DOUBLE_EQ(KelTrimmedScale(x, 2, 0.0), std::sqrt(5.0) * 3.5);
  // h larger than n is cut to n: i = 4, sum 30, f = 1, factor 1, sqrt(30 / 3).
  EXPECT_DOUBLE_EQ(KelTrimmedScale(x, 9, 0.0), std::sqrt(10.0));
  // Zero deviations are passed over: about 1, squared deviations 0 0 4 9 (from 1 1 3 4);
  // h = 1 stops at i = 3 (first non-zero), sum 4, f = 3/4, factor 2.25, sqrt(4 / 2) x 2.25.
  const KelVector y(4, 1., 3., 1., 4.);
  EXPECT_DOUBLE_EQ(KelTrimmedScale(y, 1, 1.0), std::sqrt(2.0) * 2.25);
  // All deviations 0: every term summed, i = n + 1, f = 5/4, factor -0.25; sqrt(0) x -0.25.
  EXPECT_EQ(KelTrimmedScale(KelVector(4, 2., 2., 2., 2.), 2, 2.0), 0.0);
}

TEST(CleverMeanVariance, RejectsTheStatedOutliersOfTheDemonstrationSample) {
  const std::map<std::string, double> reference = ReadStatisticsReference();
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values(3);  // previous contents must be replaced
  indices.Append(99);
  GetCleverMeanVarianceOutliers(SampleS2(), &mean, &variance, indices, values);
  ASSERT_EQ(indices.Size(), 5);
  const int expectedIndices[] = {7, 17, 3, 18, 6};
  const double expectedValues[] = {356.116, -31.116, 31.15, 31.14, -3.123};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(indices(i), expectedIndices[i - 1]) << i;
    EXPECT_EQ(values(i), expectedValues[i - 1]) << i;
  }
  ASSERT_EQ(values.Size(), 5);
  // The kept 15 elements are S1 as a multiset: their R mean and variance.
  ExpectRelativelyNear(mean, reference.at("S2_kept.mean"), 1e-14, "mean");
  ExpectRelativelyNear(variance, reference.at("S2_kept.variance"), 1e-9, "variance");
  ExpectRelativelyNear(GetCleverVariance(SampleS2()), reference.at("S1.variance"), 1e-9, "S2");
  ExpectRelativelyNear(GetCleverVariance(SampleS1()), reference.at("S1.variance"), 1e-9, "S1");
}

TEST(CleverMeanVariance, CleanSampleKeepsEverything) {
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  GetCleverMeanVarianceOutliers(KelVector(6, 1., 2., 3., 4., 5., 6.), &mean, &variance, indices,
                                values);
  EXPECT_EQ(indices.Size(), 0);
  EXPECT_EQ(values.Size(), 0);
  EXPECT_DOUBLE_EQ(mean, 3.5);
  EXPECT_DOUBLE_EQ(variance, 3.5);
}

TEST(CleverMeanVariance, ConstantSampleIsNotAnOutlierToItself) {
  // None of these constants is a binary fraction: the running sums carry rounding errors that
  // must not look like deviations (without allowing for them some of these samples lose every
  // candidate and end fatally).
  for (int n : {10, 1000, 100000}) {
    for (double c : {3.1, 0.1, 7.3e5, 1e-7}) {
      KelVector x(n);
      x = c;
      double mean = 0.0;
      double variance = -1.0;
      KelVectorInt indices;
      KelVector values;
      GetCleverMeanVarianceOutliers(x, &mean, &variance, indices, values);
      EXPECT_EQ(indices.Size(), 0) << n << " " << c;
      EXPECT_NEAR(mean, c, 1e-14 * c) << n << " " << c;
      EXPECT_LE(std::fabs(variance), 1e-12 * c * c) << n << " " << c;
    }
  }
}

TEST(CleverMeanVariance, SecondAttemptWithTwentyCandidatesPerSide) {
  // 100 values: 94 near 0 and six at 1000 + i. The first attempt rejects four large values and
  // runs out of candidates on that side; the second rejects all six.
  std::mt19937 generator(5);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelVector x(100);
  double sum = 0.0;
  for (int i = 1; i <= 100; ++i) {
    x(i) = i % 16 == 0 ? 1000.0 + i : uniform(generator);
    if (i % 16 != 0) sum += x(i);
  }
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  GetCleverMeanVarianceOutliers(x, &mean, &variance, indices, values);
  ASSERT_EQ(indices.Size(), 6);
  for (int j = 1; j <= 6; ++j) {
    EXPECT_EQ(indices(j), 16 * (7 - j)) << j;  // largest first
    EXPECT_EQ(values(j), 1000.0 + 16 * (7 - j)) << j;
  }
  EXPECT_NEAR(mean, sum / 94.0, 1e-14);
}

TEST(CleverMeanVariance, LinearPassOnAMillionValues) {
  // Correctness on the benchmark's size: uniform values on [0, 1) and two planted outliers.
  std::mt19937 generator(11);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  KelVector x(1000000);
  for (int i = 1; i <= x.Size(); ++i) x(i) = uniform(generator);
  x(123456) = 50.0;
  x(654321) = -50.0;
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  GetCleverMeanVarianceOutliers(x, &mean, &variance, indices, values);
  ASSERT_EQ(indices.Size(), 2);
  // The mean is about 0.5, so -50 is farther from it than 50 and goes first.
  EXPECT_EQ(indices(1), 654321);
  EXPECT_EQ(indices(2), 123456);
  EXPECT_NEAR(mean, 0.5, 2e-3);
  EXPECT_NEAR(variance, 1.0 / 12.0, 1e-3);
}

TEST(SmallSamples, RobustEstimatesOfEmptyAndOneElementVectors) {
  const KelVector empty;
  EXPECT_TRUE(std::isnan(KelMad(empty)));
  EXPECT_TRUE(std::isnan(KelMad2(empty)));
  EXPECT_EQ(KelShortestHalfMidpoint(empty), 0.0);
  EXPECT_TRUE(std::isnan(KelTrimmedScale(empty, 1, 0.0)));
  EXPECT_EQ(ResidualsRobustDeviate(empty).Size(), 0);
  const KelVector one(1, 4.);
  EXPECT_EQ(KelMad(one), 0.0);
  EXPECT_EQ(KelMad2(one), 0.0);
  EXPECT_EQ(KelShortestHalfMidpoint(one), 4.0);
  // One non-zero squared deviation: summed at i = 1, divided by i - 1 = 0.
  EXPECT_TRUE(std::isinf(KelTrimmedScale(one, 1, 0.0)));
  EXPECT_TRUE(ResidualsRobustDeviate(one) == KelVector(1, 0.));
}

using RobustStatisticsDeathTest = ::testing::Test;

TEST_F(RobustStatisticsDeathTest, FewerThanThreeElementsRunOutOfCandidates) {
  double mean = 0.0;
  double variance = 0.0;
  KelVectorInt indices;
  KelVector values;
  EXPECT_KEL_FATAL(
      GetCleverMeanVarianceOutliers(KelVector(2, 1., 2.), &mean, &variance, indices, values),
      "TODO");
  EXPECT_KEL_FATAL(GetCleverVariance(KelVector()), "TODO");
}

TEST_F(RobustStatisticsDeathTest, ThirdAttemptOutOfCandidatesIsFatal) {
  // 9 values with 4 far outliers on one side: k is at most 9/3 = 3 in every attempt.
  const KelVector x(9, 0.1, -0.1, 0.2, 0.0, -0.2, 100., 200., 300., 400.);
  EXPECT_KEL_FATAL(GetCleverVariance(x), "TODO");
}

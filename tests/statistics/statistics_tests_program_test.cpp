// The statistics demonstration program, run in a scratch folder: its "KelFile.txt" must show
// the R values of every printed statistic and probability, and the stated outliers.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kel_statistics_samples.h"
#include "kel_test_support.h"

using kel_statistics_test::ReadStatisticsReference;

namespace {

// "%e" of a value, as the program prints it.
std::string Scientific(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%e", value);
  return text;
}

class StatisticsProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef KELMATH_DEMO_PROGRAM
    const std::string folder = "statistics_program_" + std::to_string(::getpid());
    ::mkdir(folder.c_str(), 0755);
    const std::string command =
        "cd '" + folder + "' && '" + std::string(KELMATH_DEMO_PROGRAM) + "' > /dev/null 2>&1";
    exitStatus = std::system(command.c_str());
    output = kel_test::ReadFile(folder + "/KelFile.txt");
#endif
  }

  void SetUp() override {
#ifndef KELMATH_DEMO_PROGRAM
    GTEST_SKIP() << "the demonstration programs are not part of this build";
#endif
  }

  static bool Contains(const std::string& text) {
    return output.find(text) != std::string::npos;
  }

  // The integers (or numbers) printed under a vector's title, in order.
  static std::vector<double> VectorAfterTitle(const std::string& title) {
    std::vector<double> values;
    size_t at = output.find("\n" + title + "\n");
    if (at == std::string::npos) return values;
    std::istringstream lines(output.substr(at + title.size() + 2));
    std::string line;
    std::getline(lines, line);  // class and serial number
    std::getline(lines, line);  // size
    int size = 0;
    std::sscanf(line.c_str(), "Size %d", &size);
    for (int i = 1; i <= size && std::getline(lines, line); ++i) {
      int index = 0;
      double value = 0.0;
      if (std::sscanf(line.c_str(), "%d %lf", &index, &value) == 2 && index == i) {
        values.push_back(value);
      }
    }
    return values;
  }

  static inline int exitStatus = -1;
  static inline std::string output;
};

}  // namespace

TEST_F(StatisticsProgram, EndsNormally) {
  EXPECT_EQ(exitStatus, 0);
  EXPECT_EQ(output.find("Fatal Error!!"), std::string::npos);
}

TEST_F(StatisticsProgram, CleverVarianceOfS1AndS2IsTheVarianceOfS1) {
  const auto r = ReadStatisticsReference();
  const std::string clever = "\ncleverVariance = " + Scientific(r.at("S1.variance"));
  EXPECT_EQ(clever, "\ncleverVariance = 1.817143e-05");
  // Printed for S1, for S2, and again by the outlier section.
  size_t count = 0;
  for (size_t at = output.find(clever); at != std::string::npos; at = output.find(clever, at + 1))
    ++count;
  EXPECT_EQ(count, 3u);
  EXPECT_TRUE(Contains("\nvariance = " + Scientific(r.at("S1.variance")) +
                       "\nMad2 = " + Scientific(r.at("S1.mad2"))));
  EXPECT_TRUE(Contains("\nvariance = " + Scientific(r.at("S2.variance")) +
                       "\nMad2 = " + Scientific(r.at("S2.mad2"))));
}

TEST_F(StatisticsProgram, LocationAndScaleOfS3AndS4) {
  const auto r = ReadStatisticsReference();
  for (const std::string name : {"S3", "S4"}) {
    EXPECT_TRUE(Contains("\nMean " + Scientific(r.at(name + ".mean")) + " StandardDeviation " +
                         Scientific(r.at(name + ".sd")) + " Median " +
                         Scientific(r.at(name + ".median")) + " Mad " +
                         Scientific(r.at(name + ".mad")) + "\nResidualsNormalDeviate\n"))
        << name;
  }
  // The first robust deviates printed are those of S3.
  const std::vector<double> robust = VectorAfterTitle("ResidualsRobustDeviate");
  ASSERT_EQ(robust.size(), 6u);
  for (int i = 1; i <= 6; ++i) {
    const double reference = r.at("S3.z_robust[" + std::to_string(i) + "]");
    EXPECT_NEAR(robust[static_cast<size_t>(i - 1)], reference, 1e-11 * std::fabs(reference));
  }
}

TEST_F(StatisticsProgram, OutliersArePositions7_17_3_18_6WithTheirValues) {
  EXPECT_TRUE(
      Contains("\n\n\n******* GetCleverMeanVarianceOutliers ******\ncleverMean = "
               "3.115800e+00\ncleverVariance = 1.817143e-05\nOutliers Indeces\n"));
  EXPECT_EQ(VectorAfterTitle("Outliers Indeces"), (std::vector<double>{7, 17, 3, 18, 6}));
  EXPECT_EQ(VectorAfterTitle("Outliers"),
            (std::vector<double>{356.116, -31.116, 31.15, 31.14, -3.123}));
}

TEST_F(StatisticsProgram, DiscreteAndNormalProbabilities) {
  const auto r = ReadStatisticsReference();
  EXPECT_TRUE(Contains("\nThe Binomial Probability Distribution with n 10 k 2 p 1.000000e-01 is " +
                       Scientific(r.at("binomial_10_2_0.1"))));
  EXPECT_TRUE(Contains("is 1.937102e-01"));
  EXPECT_TRUE(Contains("\nThe Probability Is " + Scientific(r.at("binomial_sum_20_le6_0.5"))));
  EXPECT_TRUE(Contains("\nThe Probability Is 5.765915e-02"));
  EXPECT_TRUE(Contains("\nThe Probability for k>=5 is " +
                       Scientific(r.at("poisson_1_minus_sum_le4_mean6"))));
  EXPECT_TRUE(Contains("\nThe Probability for k>=5 is 7.149435e-01"));
  EXPECT_TRUE(Contains("\nThe probability that z is greater than 2.326000e+00 is " +
                       Scientific(r.at("normal_upper_2.326"))));
}

TEST_F(StatisticsProgram, OneWayTTestAcceptsMuAbove3_13) {
  const auto r = ReadStatisticsReference();
  EXPECT_TRUE(
      Contains("\nOne way t test\nMean = " + Scientific(r.at("ttest.mean")) +
               "\nVariance = " + Scientific(r.at("ttest.variance")) +
               "\nmeanStandardDeviation = " + Scientific(r.at("ttest.meanStandardDeviation")) +
               "\nThe probability that t with 10 degrees offreedom is greater than " +
               Scientific(r.at("ttest.t")) + " is " + Scientific(r.at("ttest.p_one_sided")) +
               "\nI accept the hypothesis: mu > 3.13"));
  EXPECT_TRUE(Contains("greater than 2.013695e+00"));
}

TEST_F(StatisticsProgram, TwoWayTAndChiSquareAndOneWayF) {
  const auto r = ReadStatisticsReference();
  EXPECT_TRUE(
      Contains("\nTwo way t test\nThe probability t-student with 10 degreesof freedom is extern to "
               "-2.700000e+00 +2.700000e+00is equal to " +
               Scientific(r.at("t_two_sided_10_2.7"))));
  EXPECT_TRUE(
      Contains("\nThe probability that chi-square with 8degrees of freedom is greater than "
               "1.500000e+01is equal to " +
               Scientific(r.at("chisq_upper_8_15"))));
  EXPECT_TRUE(
      Contains("\nThe probability that chi-square with 5degrees of freedom is lower than "
               "1.200000e+00is equal to " +
               Scientific(r.at("chisq_lower_5_1.2"))));
  EXPECT_TRUE(
      Contains("\nOne way F test\nThe probability that F with dfNum 4 dfDen 9 \nis greater than "
               "3.630000e+00 is equal to " +
               Scientific(r.at("f_upper_4_9_3.63"))));
}

TEST_F(StatisticsProgram, TwoWayFLinesAgreeAndEndTheFile) {
  const auto r = ReadStatisticsReference();
  const std::string p = Scientific(r.at("f_two_way_12_5_9.89"));
  EXPECT_EQ(p, Scientific(r.at("f_two_way_5_12_0.10111223458038422")));
  const std::string expected = "\nTwo way F test\ndfNum 12 dfDen 5 F 9.890000e+00 Probability " +
                               p + "\ndfNum 12 dfDen 5 F 9.890000e+00 Probability " + p +
                               "\ndfNum 5 dfDen 12 F 1.011122e-01 Probability " + p;
  ASSERT_GE(output.size(), expected.size());
  EXPECT_EQ(output.substr(output.size() - expected.size()), expected);
}

// Data sets of the regression demonstration built as the program builds them, and a reader of
// the R reference files (lines "key = value", "key[i] = value", "key[i,j] = value").
#ifndef KELMATH_TESTS_LINEAR_REGRESSION_TEST_DATA_H
#define KELMATH_TESTS_LINEAR_REGRESSION_TEST_DATA_H

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "kel_test_support.h"

namespace lr_test {

inline KelMatrix MakeX6() {
  KelMatrix X(6, 2);
  for (int k = 1; k <= 6; ++k) {
    X(k, 1) = 1.0;
    X(k, 2) = k;
  }
  return X;
}

inline KelVector MakeY6() {
  return KelVector(6, 12.6225, 11.9095, 11.4522, 10.4553, 9.8861, 9.5247);
}

// [1, x12].
inline KelMatrix MakeX12() {
  const KelVector x(12, 110.87, 107.14, 104.12, 101.98, 103.01, 104.89, 106.02, 107.96, 109.08,
                    110.14, 101.12, 112.04);
  KelMatrix X(12, 2);
  for (int i = 1; i <= 12; ++i) {
    X(i, 1) = 1.0;
    X(i, 2) = x(i);
  }
  return X;
}

inline KelVector MakeY12() {
  return KelVector(12, 6.7596, 9.0492, 10.4553, 11.9095, 11.4522, 9.8861, 9.5247, 8.1732, 7.5921,
                   7.4424, 12.6225, 6.0732);
}

inline KelMatrix MakeXc() {
  return KelMatrix(11, 2, 2.0, 4.95, 2.1, 5.21, 2.2, 5.39, 2.3, 5.61, 2.4, 5.79, 2.5, 6.01, 2.6,
                   6.19, 2.7, 6.41, 2.8, 6.59, 2.9, 6.81, 2.0, 4.8);
}

inline KelVector MakeYc() {
  return KelVector(11, 7.0, 7.3, 7.6, 7.9, 58.2, 8.5, 58.8, 9.1, 59.4, 9.7, 6.9);
}

// Four significant digits, halves away from zero (15^4 = 50625 becomes 50630). Division by an
// exact power of ten keeps the result the double nearest to the decimal value.
inline double RoundFourDigits(double v) {
  if (v == 0.0) return 0.0;
  const int e = static_cast<int>(std::floor(std::log10(std::fabs(v)))) - 3;
  const double power = std::pow(10.0, std::abs(e));
  const double scaled = e >= 0 ? v / power : v * power;
  const double rounded = std::round(scaled);
  return e >= 0 ? rounded * power : rounded / power;
}

// 20 x 9: 1, x, x^2, x^3, x^4, x^2 sin x, e^(x/10), ln x, sqrt x for x = 1..20.
inline KelMatrix MakeX20() {
  KelMatrix X(20, 9);
  for (int i = 1; i <= 20; ++i) {
    const double x = i;
    const double values[9] = {1.0,
                              x,
                              x * x,
                              x * x * x,
                              x * x * x * x,
                              x * x * std::sin(x),
                              std::exp(x / 10.0),
                              std::log(x),
                              std::sqrt(x)};
    for (int j = 1; j <= 9; ++j) X(i, j) = RoundFourDigits(values[j - 1]);
  }
  return X;
}

inline KelVector MakeY20() {
  return KelVector(20, 9.4318, 11.756, 16.766, 26.419, 41.333, 63.821, 94.357, 135.5, 187.58, 252.4,
                   331.65, 426.69, 538.35, 668.96, 819.0, 991.03, 1185.4, 1404.0, 1648.5, 1920.0);
}

// Columns 1, 4 and 7 of X20.
inline KelMatrix MakeX20Columns147() {
  const KelMatrix X = MakeX20();
  KelMatrix F(20, 3);
  const int columns[3] = {1, 4, 7};
  for (int i = 1; i <= 20; ++i)
    for (int j = 0; j < 3; ++j) F(i, j + 1) = X(i, columns[j]);
  return F;
}

// Values of one R reference file, by key ("coefficient[1]", "F[2,1]", "loo_verdict").
class Reference {
 public:
  explicit Reference(const std::string& relative) {
    std::ifstream in = kel_test::OpenReference(relative);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      const size_t equal = line.find(" = ");
      if (equal == std::string::npos) continue;
      values[line.substr(0, equal)] = line.substr(equal + 3);
    }
  }
  bool Has(const std::string& key) const { return values.count(key) != 0; }
  double operator()(const std::string& key) const {
    return std::strtod(Text(key).c_str(), nullptr);
  }
  double operator()(const std::string& key, int i) const {
    return (*this)(key + "[" + std::to_string(i) + "]");
  }
  double operator()(const std::string& key, int i, int j) const {
    return (*this)(key + "[" + std::to_string(i) + "," + std::to_string(j) + "]");
  }
  std::string Text(const std::string& key) const {
    const auto it = values.find(key);
    EXPECT_TRUE(it != values.end()) << "missing reference key " << key;
    return it == values.end() ? std::string("nan") : it->second;
  }

 private:
  std::map<std::string, std::string> values;
};

// |value - reference| <= tolerance * |reference|.
inline ::testing::AssertionResult RelativelyNear(double value, double reference, double tolerance) {
  const double error = std::fabs(value - reference);
  if (error <= tolerance * std::fabs(reference)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "value " << value << " reference " << reference << " relative error "
         << error / std::fabs(reference) << " above " << tolerance;
}

}  // namespace lr_test

#endif

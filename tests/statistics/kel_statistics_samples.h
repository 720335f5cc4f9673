// The samples of the statistics demonstration and a reader for the R reference values that
// describe them (lines "key = value", comments "#").
#ifndef KELMATH_TESTS_KEL_STATISTICS_SAMPLES_H
#define KELMATH_TESTS_KEL_STATISTICS_SAMPLES_H

#include <fstream>
#include <map>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

namespace kel_statistics_test {

inline KelVector SampleS1() {
  return KelVector(15, 3.112, 3.115, 3.121, 3.112, 3.114, 3.121, 3.112, 3.112, 3.115, 3.114, 3.121,
                   3.112, 3.123, 3.121, 3.112);
}
inline KelVector SampleS2() {
  return KelVector(20, 3.112, 3.115, 31.15, 3.121, 3.112, -3.123, 356.116, 3.114, 3.121, 3.112,
                   3.112, 3.115, 3.114, 3.121, 3.112, 3.123, -31.116, 31.14, 3.121, 3.112);
}
inline KelVector SampleS3() {
  return KelVector(6, 3.112, 3.115, 3.114, 3.121, 3.123, 3.116);
}
inline KelVector SampleS4() {
  return KelVector(6, 3.112, 3.115, 31.14, 3.121, 3.123, 3.116);
}
inline KelVector SampleS5() {
  return KelVector(11, 3.15, 3.19, 3.13, 3.18, 3.1, 3.15, 3.21, 3.22, 3.09, 3.12, 3.18);
}

// The values of statistics_demo.txt by key.
inline std::map<std::string, double> ReadStatisticsReference() {
  std::ifstream in = kel_test::OpenReference("r/statistics_demo.txt");
  std::map<std::string, double> values;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const std::string value = line.substr(equals + 3);
    try {
      values[line.substr(0, equals)] = std::stod(value);
    } catch (const std::exception&) {
      // text values (verdicts, TRUE) are not numbers
    }
  }
  return values;
}

}  // namespace kel_statistics_test

#endif

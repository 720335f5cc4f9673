// NIST's certified linear regressions kept in tests/reference/nist/linear: the certified values
// of a problem, and the problems with the number of correct digits (log relative error) the
// least-squares fits must reach: 9 for those NIST rates of lower difficulty (Norris, Pontius),
// 7 for the average (NoInt1) and higher ones (Longley, Wampler1, Wampler3).
#ifndef KELMATH_TESTS_KEL_NIST_LINEAR_H
#define KELMATH_TESTS_KEL_NIST_LINEAR_H

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "kel_test_support.h"

namespace kel_nist_linear {

struct Certified {
  std::vector<double> parameters;
  std::vector<double> standardErrors;
  double residualSd = 0.0;
  double r2 = 0.0;
  int dof = 0;
};

inline Certified ReadCertified(const std::string& name) {
  std::ifstream in = kel_test::OpenReference("nist/linear/" + name + ".cert");
  Certified c;
  std::string key;
  while (in >> key) {
    if (key == "param") {
      int i = 0;
      std::string value, se;
      in >> i >> value >> se;
      c.parameters.push_back(std::strtod(value.c_str(), nullptr));
      c.standardErrors.push_back(std::strtod(se.c_str(), nullptr));
    } else if (key == "resid_sd") {
      in >> c.residualSd;
    } else if (key == "r2") {
      in >> c.r2;
    } else if (key == "df") {
      in >> c.dof;
    }
  }
  return c;
}

struct NistProblem {
  const char* name;
  double minimumLre;
};
// Names the case in test listings instead of a byte dump of the struct.
inline void PrintTo(const NistProblem& value, std::ostream* os) {
  *os << value.name;
}

inline constexpr NistProblem kProblems[] = {{"Norris", 9.0},  {"Pontius", 9.0},  {"NoInt1", 7.0},
                                            {"Longley", 7.0}, {"Wampler1", 7.0}, {"Wampler3", 7.0}};

}  // namespace kel_nist_linear

#endif

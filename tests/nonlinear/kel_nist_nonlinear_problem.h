// The NIST StRD nonlinear problems as tests/reference/nist/nonlinear/ holds them: both starts,
// the certified parameters, standard errors and residual sum of squares, and the data (x, y).
// Read by the library's NIST test and by the kelmath nls command's.
#ifndef KELMATH_TESTS_NONLINEAR_KEL_NIST_NONLINEAR_PROBLEM_H
#define KELMATH_TESTS_NONLINEAR_KEL_NIST_NONLINEAR_PROBLEM_H

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"

namespace kel_nist {

struct NistProblem {
  std::string name;
  std::vector<double> start1, start2, certified, certifiedErrors;
  double rss = 0.0;
  std::vector<double> x, y;
};

inline NistProblem ReadProblem(const std::string& name) {
  NistProblem p;
  p.name = name;
  std::ifstream in = kel_test::OpenReference("nist/nonlinear/" + name + ".txt");
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    if (data) {
      double x = 0.0, y = 0.0;
      if (fields >> x >> y) {
        p.x.push_back(x);
        p.y.push_back(y);
      }
      continue;
    }
    std::string key;
    fields >> key;
    if (key == "param") {
      int i = 0;
      double s1, s2, c, e;
      fields >> i >> s1 >> s2 >> c >> e;
      p.start1.push_back(s1);
      p.start2.push_back(s2);
      p.certified.push_back(c);
      p.certifiedErrors.push_back(e);
    } else if (key == "rss:") {
      fields >> p.rss;
    } else if (key == "data:") {
      data = true;
    }
  }
  return p;
}

}  // namespace kel_nist

#endif

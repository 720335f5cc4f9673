// The four rival kinetic models of the experiment_selection program and its data, shared by the
// tests that estimate them.
#ifndef KELMATH_TESTS_KEL_RIVAL_MODELS_H
#define KELMATH_TESTS_KEL_RIVAL_MODELS_H

#include "kelmath.h"

namespace kel_test {

// Model 4 with b = (0.0005, 0.16, 15, 1.9) generates the data; model 3 has three parameters.
void RivalModels(int model, int, KelVector& b, KelVector& x, KelVector& y);

// The program's five experiments of two independent variables and two responses, the noise
// sequence started shift places later (0: the program's own data).
struct RivalModelsData {
  KelMatrix X;
  KelMatrix Y;
};
RivalModelsData MakeRivalModelsData(int shift);

// The program's measurement variances and starting points of the four models.
void SetRivalModelsProgramStart(KelNonLinearRegression& regression);

}  // namespace kel_test

#endif  // KELMATH_TESTS_KEL_RIVAL_MODELS_H

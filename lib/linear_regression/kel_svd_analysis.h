// The singular value analysis of a least-squares fit as a function of its inputs: the candidate
// solutions that keep the 1, 2, ..., n largest singular values and the principal components
// verdict, computed without printing. Internal to the linear regression (not in kelmath.h).
#ifndef KELMATH_KEL_SVD_ANALYSIS_H
#define KELMATH_KEL_SVD_ANALYSIS_H

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_linear_regression_results.h"

// What the analysis reads: F (m x n), y (m elements) and a current least-squares fit of them.
struct KelSvdAnalysisInputs {
  const KelMatrix& F;
  const KelVector& y;
  const KelLinearLeastSquaresFit& fit;
  int degreesOfFreedom;  // m - n
};

// The norms of every candidate and the principal components verdict. The result takes over the
// containers of numbered (their serial numbers and storage), as the fit does (docs/developers.md,
// intended behaviour 2). All responses zero are fatal ("sst == 0.").
KelSvdAnalysis KelComputeSvdAnalysis(const KelSvdAnalysisInputs& inputs, KelSvdAnalysis&& numbered);

// The sum of squares of y that the candidates' R^2 is measured against: always the uncorrected
// one, also for intercept models. All responses zero leave nothing to measure against (fatal).
double KelCandidateTotalSumOfSquares(const KelVector& y);

// Candidate i (1 <= i <= n) written into candidate, whose containers are reused, with sst from
// KelCandidateTotalSumOfSquares.
void KelComputeSvdCandidate(const KelSvdAnalysisInputs& inputs, int i, double sst,
                            KelSvdCandidate& candidate);

// The parameters of candidate i alone (1 <= i <= n), from the fit's decomposition.
KelVector KelCandidateParameters(const KelLinearLeastSquaresFit& fit, int i);
// The standard errors of candidate i alone, scaled by the fit's variance used.
KelVector KelCandidateStandardErrors(const KelLinearLeastSquaresFit& fit, int i);

// Fewer principal components than parameters, or a last one below kMinorComponent times the
// first: the principal components identify serious multicollinearities.
bool KelPrincipalComponentsMulticollinear(const KelLinearLeastSquaresFit& fit);

#endif

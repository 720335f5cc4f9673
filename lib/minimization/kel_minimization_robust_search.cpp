// KelMinimizationRobust: the simplex search (first simplex, moves, collapse handling).
#include <cmath>

#include "foundation/kel_output.h"
#include "minimization/kel_minimization_robust.h"

namespace {

// First simplex: edge 10 % of the coordinate plus 0.01, so that zero coordinates move too.
constexpr double kStartStepRelative = 0.1;
constexpr double kStartStepAbsolute = 0.01;
// Stall guard: every vertex value below this while the best is still positive.
constexpr double kStallValue = 1e-20;
// A best value counts as a significant improvement on the reference when it falls below
// previous best - 1.0001 |best|, i.e. roughly halves a positive value.
constexpr double kImprovementFactor = 1.0001;

// z = x + s y over n contiguous values (0-based).
void addScaled(int n, const double* x, double s, const double* y, double* z) {
  for (int i = 0; i < n; ++i) z[i] = x[i] + s * y[i];
}

}  // namespace

// The limit is checked between steps, so a step may overshoot it by its few evaluations. A step
// that finishes the search reports its own cause even when it also reached the limit: reporting
// the limit instead would make every later call return "maximum number of iterations" for a
// search that can never continue.
signed char KelMinimizationRobust::MinimumSolve() {
  Trace("\n*** KelMinimizationRobust: MinimumSolve");
  for (;;) {
    if (state == 0) return exitCause;
    if (iterationsInLastCall >= maxIterations) {
      exitCause = kIterationLimit;
      return exitCause;
    }
    if (state == 1)
      Start();
    else
      Action();
  }
}

// Builds the first simplex around the start point (vertex n+1, already evaluated), keeping the
// trial vertices inside the box and trying the opposite side of an unfeasible one.
void KelMinimizationRobust::Start() {
  Trace("\n*** KelMinimizationRobust: Start");
  const double* start = startPoint.Data();
  const double* lower = lowerBounds.Data();
  const double* upper = upperBounds.Data();
  double* step = steps.Data();
  for (int i = 0; i < n; ++i)
    step[i] = kStartStepRelative * std::fabs(start[i]) + kStartStepAbsolute;
  for (int i = 0; i < n; ++i) {
    trialPoint = startPoint;
    double& t = trialPoint.Data()[i];
    t += step[i];
    if (t > upper[i]) {
      t = start[i] - step[i];
      if (t < lower[i]) t = start[i] + 0.01 * step[i];
    }
    bool feasible = false;
    double value = Evaluate(trialPoint, &feasible);
    if (!feasible) {
      t = start[i] - step[i];
      if (t < lower[i]) {
        t = start[i] + step[i];
        if (t > upper[i]) t = start[i] - 0.01 * step[i];
      }
      value = Evaluate(trialPoint);
    }
    vertices[static_cast<size_t>(i)] = trialPoint;
    vertexValues(i + 1) = value;
  }
  SortVertices();
  WriteTrajectoryIfImproved();
  state = BelowFToll() ? 0 : 2;
}

// One move of the simplex, or the collapse handling when the worst vertex has come too close to
// the barycenter of the others.
void KelMinimizationRobust::Action() {
  Trace("\n*** KelMinimizationRobust: Action");
  if (fSolution > 0.0 && vertexValues.Max() < kStallValue && totalIterations > 2 * n + 100) {
    KelWarning("Robust %d %d %e", restartPhase, totalIterations, fSolution);
    exitCause = kStall;
    state = 0;
    return;
  }
  if (BelowFToll()) return;
  const int worst = order(n1);
  const int secondWorst = order(n);
  worstCopy = vertices[static_cast<size_t>(worst - 1)];
  worstValue = vertexValues(worst);
  secondWorstCopy = vertices[static_cast<size_t>(secondWorst - 1)];
  secondWorstValue = vertexValues(secondWorst);
  Baricenter();
  const double* c = barycenter.Data();
  const double* w = worstCopy.Data();
  double* d = direction.Data();
  for (int i = 0; i < n; ++i) d[i] = c[i] - w[i];
  dxNorm = direction.Norm2() / n;
  barycenterNorm = barycenter.Norm2();
  const double tolX = xTolRelative * barycenterNorm + xTolAbsolute;
  if (dxNorm > tolX)
    RegularMove();
  else
    CollapseHandling(tolX);
}

// Mean of the n best vertices.
void KelMinimizationRobust::Baricenter() {
  Trace("\n*** KelMinimizationRobust: Baricenter");
  double* c = barycenter.Data();
  for (int i = 0; i < n; ++i) c[i] = 0.0;
  for (int j = 1; j <= n; ++j) {
    const double* v = vertices[static_cast<size_t>(order(j) - 1)].Data();
    for (int i = 0; i < n; ++i) c[i] += v[i];
  }
  for (int i = 0; i < n; ++i) c[i] /= n;
}

// Reflection, then expansion, insertion or one of the two contractions. A contracted vertex is
// kept whatever its value: there is no shrink of the whole simplex.
void KelMinimizationRobust::RegularMove() {
  const double* c = barycenter.Data();
  const double* d = direction.Data();
  Trace("\n*** KelMinimizationRobust: Reflection");
  addScaled(n, c, 1.0, d, reflectionPoint.Data());
  reflectionValue = Evaluate(reflectionPoint);
  if (reflectionValue < vertexValues(order(1))) {
    Trace("\n*** KelMinimizationRobust: Expansion");
    addScaled(n, c, 2.0, d, expansionPoint.Data());
    expansionValue = Evaluate(expansionPoint);
    if (expansionValue > reflectionValue)
      ReplaceWorst(reflectionPoint, reflectionValue);
    else
      ReplaceWorst(expansionPoint, expansionValue);
  } else if (reflectionValue < secondWorstValue) {
    Trace("\n*** KelMinimizationRobust: Insertion");
    ReplaceWorst(reflectionPoint, reflectionValue);
  } else {
    if (reflectionValue < worstValue) {
      Trace("\n*** KelMinimizationRobust: Forward Contraction");
      addScaled(n, c, 0.5, d, secondContractionPoint.Data());
    } else {
      Trace("\n*** KelMinimizationRobust: Backward Contraction");
      addScaled(n, c, -0.5, d, secondContractionPoint.Data());
    }
    secondContractionValue = Evaluate(secondContractionPoint);
    ReplaceWorst(secondContractionPoint, secondContractionValue);
  }
  SortVertices();
  EndOfStep();
}

// The simplex has collapsed (the worst vertex sits on the barycenter). The restart phase decides
// between a half move while the best value keeps improving significantly, a perturbation of the
// two worst vertices, one rebuild of the whole simplex, and the end of the search.
void KelMinimizationRobust::CollapseHandling(double tolX) {
  ++collapseCount;
  dF = std::fabs(fSolution - secondWorstValue);
  if (restartPhase == 0) {
    referencePoint = xMin;
    previousBest = fSolution;
    HalfMove();
    return;
  }
  workVector = xMin;
  workVector -= referencePoint;
  const double dxr = workVector.Norm2() / n;
  const bool improved = fSolution < previousBest - kImprovementFactor * std::fabs(fSolution);
  if (restartPhase == 1) {
    if (dxr > 10.0 * tolX && improved) {
      previousBest = fSolution;
      HalfMove();
    } else {
      Perturb();
    }
    return;
  }
  if (dxr > 100.0 * tolX && improved) {
    previousBest = fSolution;
    HalfMove();
  } else if (std::fabs(fSolution) * fTolRelative + fTolAbsolute > dF || restartPhase > 2) {
    exitCause = kCollapsed;
    state = 0;
  } else {
    Rebuild();
  }
}

// Moves the second-worst vertex halfway towards the best and tries its mirror image. The order
// is deliberately left as it was: the next Action works with the previous ranking.
void KelMinimizationRobust::HalfMove() {
  const int best = order(1);
  const int secondWorst = order(n);
  const double* b = vertices[static_cast<size_t>(best - 1)].Data();
  const double* s = vertices[static_cast<size_t>(secondWorst - 1)].Data();
  double* e = workVector.Data();
  for (int i = 0; i < n; ++i) e[i] = 0.5 * (s[i] - b[i]);
  addScaled(n, b, 1.0, e, trialPoint.Data());
  addScaled(n, b, -1.0, e, reflectionPoint.Data());
  vertices[static_cast<size_t>(secondWorst - 1)] = trialPoint;
  vertexValues(secondWorst) = Evaluate(trialPoint);
  const double mirrorValue = Evaluate(reflectionPoint);
  if (mirrorValue < vertexValues(secondWorst)) {
    vertices[static_cast<size_t>(secondWorst - 1)] = reflectionPoint;
    vertexValues(secondWorst) = mirrorValue;
  }
  restartPhase = 1;
}

// Rebuilds the two worst vertices from the best one, stretching alternate components by
// 1 + 0.01 k; the perturbation is multiplicative, so zero components stay zero.
void KelMinimizationRobust::Perturb() {
  const double s = 1.0 + 0.01 * collapseCount;
  const int secondWorst = order(n);
  const int worst = order(n1);
  // Copied first: with n = 1 the second-worst vertex is the best one.
  workVector = vertices[static_cast<size_t>(order(1) - 1)];
  const double* b = workVector.Data();
  double* sw = vertices[static_cast<size_t>(secondWorst - 1)].Data();
  double* w = vertices[static_cast<size_t>(worst - 1)].Data();
  for (int i = 0; i < n; ++i) {
    // 0-based i is the odd 1-based index i + 1 when i is even.
    const bool oddIndex = (i % 2) == 0;
    sw[i] = oddIndex ? b[i] : s * b[i];
    w[i] = oddIndex ? s * b[i] : b[i];
  }
  vertexValues(secondWorst) = Evaluate(vertices[static_cast<size_t>(secondWorst - 1)]);
  vertexValues(worst) = Evaluate(vertices[static_cast<size_t>(worst - 1)]);
  SortVertices();
  if (BelowFToll()) return;
  WriteTrajectoryIfImproved();
  restartPhase = 2;
}

// A fresh simplex around the best point with edges shrinking with the number of collapses. The
// bounds are not consulted here: points outside them are clipped and penalised by the
// evaluation like any other.
void KelMinimizationRobust::Rebuild() {
  restartPhase = 3;
  const double h = 0.01 / collapseCount;
  vertices[static_cast<size_t>(n)] = xMin;
  vertexValues(n1) = fSolution;
  const double* best = xMin.Data();
  double* step = steps.Data();
  for (int i = 0; i < n; ++i) {
    step[i] = (std::fabs(best[i]) + 1.0) * h;
    trialPoint = xMin;
    double& t = trialPoint.Data()[i];
    t += step[i];
    bool feasible = false;
    double value = Evaluate(trialPoint, &feasible);
    if (!feasible) {
      t = best[i] - step[i];
      value = Evaluate(trialPoint);
    }
    vertices[static_cast<size_t>(i)] = trialPoint;
    vertexValues(i + 1) = value;
  }
  SortVertices();
  EndOfStep();
}

void KelMinimizationRobust::ReplaceWorst(const KelVector& point, double value) {
  const int worst = order(n1);
  vertices[static_cast<size_t>(worst - 1)] = point;
  vertexValues(worst) = value;
}

// Ranks the vertices (heap sort with positions, so ties fall where that sort leaves them) and
// takes the best one as the current solution.
void KelMinimizationRobust::SortVertices() {
  sortBuffer = vertexValues;
  sortBuffer.Sort(order);
  const int best = order(1);
  fSolution = vertexValues(best);
  xMin = vertices[static_cast<size_t>(best - 1)];
}

void KelMinimizationRobust::EndOfStep() {
  WriteTrajectoryIfImproved();
  BelowFToll();
}

// Ends the search when the best value has fallen below fToll.
bool KelMinimizationRobust::BelowFToll() {
  if (!(fSolution < fToll)) return false;
  exitCause = kBelowFToll;
  state = 0;
  return true;
}

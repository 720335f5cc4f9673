// KelMinimizationRobust: construction, restart, bounded evaluation, trajectory file, summary.
#include "minimization/kel_minimization_robust.h"

#include <cmath>
#include <utility>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

// Thread-local: see the declaration.
thread_local unsigned char kelUnfeasible = 0;

KelObjectCounter KelMinimizationRobust::counter;

namespace {

// A clipped point costs this much per unit of the violation, on top of the unfeasible value.
constexpr double kClipPenaltyFactor = 10000.0;
constexpr double kClipValueFactor = 1000.0;
constexpr int kUnlimitedIterations = 100000000;

const char* const kMissingObjectiveFormat = "%s Error in Initialization";
const char* const kUnfeasibleStartText =
    "The starting point must be feasible in KelMinimizationRobust";
const char* const kStoppedWarningFormat = "%s\nObject KelMinimizationRobust used with kelStop == 1";
const char* const kExceptionWarningText = "KelExceptionHandling";
const char* const kClippedValueFormat = "\nFc %e";
const char* const kTrajectoryValueFormat = "\n%22.14e ";
const char* const kTrajectoryComponentFormat = "%22.14e ";

const char* exitCauseMessage(signed char cause) {
  switch (cause) {
    case KelMinimizationRobust::kIterationLimit:
      return "\nMaximum number of iterations\n";
    case KelMinimizationRobust::kStall:
      return "\nSatisfied test on dx\n";
    case KelMinimizationRobust::kBelowFToll:
      return "\nfSolution <= fToll\n";
    case KelMinimizationRobust::kCollapsed:
      return "\nSatisfied test on the function values for simplex vertices";
    default:  // not run yet, or stopped by an exception
      return "\nSearch failed before reaching the solution\n";
  }
}

}  // namespace

KelMinimizationRobust::KelMinimizationRobust(const KelVector& start, KelObjective f)
    : serialNumber(counter.Draw()) {
  if (!f) KelError(kMissingObjectiveFormat, kelClassMinimizationRobust);
  // Without a variable there is no simplex to build (and the barycenter would divide by 0).
  if (start.Size() < 1) KelError("%s%s", kelClassMinimizationRobust, kelErrCheck);
  objective = std::move(f);
  kelUnfeasible = 0;
  n = start.Size();
  n1 = n + 1;

  lowerBounds.Resize(n, false);
  lowerBounds = -kelUnbounded;
  upperBounds.Resize(n, false);
  upperBounds = kelUnbounded;
  for (KelVector* v : {&x0, &startPoint, &trialPoint, &xMin, &referencePoint, &clippedPoint, &steps,
                       &barycenter, &reflectionPoint, &expansionPoint, &secondContractionPoint,
                       &worstCopy, &secondWorstCopy, &direction, &workVector})
    v->Resize(n);
  vertices.reserve(static_cast<size_t>(n1));
  for (int i = 0; i < n1; ++i) vertices.emplace_back(n);
  vertexValues.Resize(n1);
  sortBuffer.Resize(n1);
  order.Resize(n1);

  StartFrom(start);
}

KelMinimizationRobust::~KelMinimizationRobust() {
  Trace("\n*** KelMinimizationRobust: Destructor");
  // The trajectory is a resource of this object: closing it here flushes the last lines even
  // when the program goes on for a long time.
  if (trajectoryFile != nullptr) std::fclose(trajectoryFile);
  counter.Release();
}

void KelMinimizationRobust::Initialize(const KelVector& start) {
  if (!objective) KelError(kMissingObjectiveFormat, kelClassMinimizationRobust);
  if (start.Size() != n) KelError("%s%s", kelClassMinimizationRobust, kelErrCheck);
  StartFrom(start);
}

// Common part of construction and Initialize: evaluates the new start and resets the search.
void KelMinimizationRobust::StartFrom(const KelVector& start) {
  x0 = start;
  startPoint = start;
  xMin = start;
  iterationsInLastCall = 0;
  bool feasible = false;
  const double value = Evaluate(startPoint, &feasible);
  if (!feasible) KelError("%s", kUnfeasibleStartText);
  iterationsInLastCall = 0;
  valueAtStart = value;
  fSolution = value;
  vertices[static_cast<size_t>(n)] = startPoint;
  vertexValues(n1) = value;
  restartPhase = 0;
  collapseCount = 0;
  exitCause = kNotRun;
  stopFlag = 0;
  state = 1;
  traceSwitch = 0;
}

void KelMinimizationRobust::SetBounds(const KelVector& lower, const KelVector& upper) {
  if (lower.Size() != n || upper.Size() != n)
    KelError("%s%s", kelClassMinimizationRobust, kelErrCheck);
  for (int i = 1; i <= n; ++i)
    if (!(lower(i) <= upper(i))) KelError("%s%s", kelClassMinimizationRobust, kelErrCheck);
  lowerBounds = lower;
  upperBounds = upper;
}

// Every call of the objective goes through here. A NaN value cannot be ordered against the
// other vertices (it would wreck the sort and every comparison of the moves), so it counts as
// an unfeasible point, exactly as if the objective had raised kelUnfeasible.
double KelMinimizationRobust::Evaluate(const KelVector& x, bool* feasible) {
  kelUnfeasible = 0;
  ++totalIterations;
  double value = BoundedValue(x);
  const bool accepted = kelUnfeasible == 0 && !std::isnan(value);
  if (accepted) {
    ++feasibleIterations;
    ++iterationsInLastCall;
  } else {
    value = kelUnfeasibleValue;
  }
  if (feasible != nullptr) *feasible = accepted;
  return value;
}

// The objective always receives the object's own copy, so an objective that writes into its
// argument cannot move a vertex. Only the penalty of the highest-indexed violated component
// counts: each violation overwrites the previous one.
double KelMinimizationRobust::BoundedValue(const KelVector& x) {
  const double* point = x.Data();
  double* clipped = clippedPoint.Data();
  const double* lower = lowerBounds.Data();
  const double* upper = upperBounds.Data();
  double penalty = 0.0;
  bool violated = false;
  for (int i = 0; i < n; ++i) {
    // A NaN coordinate lies in no box: the objective never sees it.
    if (std::isnan(point[i])) {
      kelUnfeasible = 1;
      return kelUnfeasibleValue;
    }
    clipped[i] = point[i];
    if (point[i] < lower[i]) {
      clipped[i] = lower[i];
      penalty = kClipPenaltyFactor * (lower[i] - point[i]);
      violated = true;
    } else if (point[i] > upper[i]) {
      clipped[i] = upper[i];
      penalty = kClipPenaltyFactor * (point[i] - upper[i]);
      violated = true;
    }
  }
  double value = objective(clippedPoint);
  if (!violated) return value;
  value = value * kClipValueFactor + kelUnfeasibleValue + penalty;
  KelPrint(kClippedValueFormat, value);
  return value;
}

signed char KelMinimizationRobust::operator()(int limit) {
  maxIterations = limit > 0 ? limit : kUnlimitedIterations;
  iterationsInLastCall = 0;
  Trace("\n*** KelMinimizationRobust: operator()");
  if (stopFlag == 1) {
    exitCause = kStopped;
    KelWarning(kStoppedWarningFormat, kelClassMinimizationRobust);
    return kStopped;
  }
  try {
    return MinimumSolve();
  } catch (KelExceptionHandling&) {
    KelWarning("%s", kExceptionWarningText);
    stopFlag = 1;
    exitCause = kStopped;
    throw;
  }
}

void KelMinimizationRobust::Save(const char* fileName) {
  Trace("\n*** MinMulTask: Save");
  // A second Save replaces the first file instead of leaking its handle.
  if (trajectoryFile != nullptr) std::fclose(trajectoryFile);
  trajectoryFile = std::fopen(fileName, "w");
  if (trajectoryFile == nullptr) KelError("%s", kelErrOpen);
  saveSwitch = 1;
  std::fprintf(trajectoryFile, "F ");
  for (int i = 1; i <= n; ++i) std::fprintf(trajectoryFile, "x[%d] ", i);
  WriteTrajectoryLine(valueAtStart, startPoint);
  lastSavedValue = valueAtStart;
}

void KelMinimizationRobust::WriteTrajectoryLine(double value, const KelVector& point) {
  std::fprintf(trajectoryFile, kTrajectoryValueFormat, value);
  for (int i = 1; i <= n; ++i) std::fprintf(trajectoryFile, kTrajectoryComponentFormat, point(i));
}

// Only a strict improvement on the last saved value earns a line.
void KelMinimizationRobust::WriteTrajectoryIfImproved() {
  if (saveSwitch != 1 || !(fSolution < lastSavedValue)) return;
  WriteTrajectoryLine(fSolution, xMin);
  lastSavedValue = fSolution;
}

void KelMinimizationRobust::Trace(const char* text) const {
  if (traceSwitch == 1) KelPrint("%s", text);
}

void KelMinimizationRobust::PrintObject() {
  KelPrint("\nStarting Point");
  x0.Print("x0");
  KelPrint("\nObjective Function value in starting point %.14e", valueAtStart);
  KelPrint("\n\nNumber of iterations in the last call %d", iterationsInLastCall);
  KelPrint("\nTotal number of iterations (feasible and unfeasible) %d", totalIterations);
  KelPrint("\nTotal number of feasible iterations %d", feasibleIterations);
  KelPrint("\n\nFunction KelMinimum Value %.14e", fSolution);
  xMin.Print("xMin KelVector");
  vertexValues.Print("Function values in all final vertices");
  KelPrint("\n\nCause of exit:");
  KelPrint("%s", exitCauseMessage(exitCause));
}

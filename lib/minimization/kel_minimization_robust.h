// KelMinimizationRobust: derivative-free simplex minimization of a function of n variables
// inside a box, tolerating points that the objective declares unfeasible.
#ifndef KELMATH_KEL_MINIMIZATION_ROBUST_H
#define KELMATH_KEL_MINIMIZATION_ROBUST_H

#include <cstdio>
#include <functional>
#include <vector>

#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"
#include "foundation/kel_base.h"
#include "foundation/kel_constants.h"

// Set to 1 by an objective that finds its argument unacceptable. The minimizer clears it right
// before every call of the objective and reads it right after; the returned value is then
// ignored and the point ranks last. One flag per thread: the minimizer calls its objective on
// the thread that runs it, so the clear, the objective's write and the read all happen on that
// thread, and minimizers running on other threads never see each other's flag.
extern thread_local unsigned char kelUnfeasible;

// The objective: takes the point and returns the value to minimize.
using KelObjectiveFunction = double (*)(KelVector& x);
// An objective that may carry its own context (a lambda capturing the object it works for);
// a plain KelObjectiveFunction converts to it, and a null one converts to an empty objective.
using KelObjective = std::function<double(KelVector& x)>;

class KelMinimizationRobust : public KelBase {
 public:
  // Exit causes returned by operator() and reported by PrintObject.
  static constexpr signed char kNotRun = -1;
  static constexpr signed char kStopped = -2;
  static constexpr signed char kIterationLimit = 1;
  static constexpr signed char kStall = 2;
  static constexpr signed char kBelowFToll = 3;
  static constexpr signed char kCollapsed = 4;

  // Evaluates f at x0 and prepares the first simplex around it; fatal when f is missing (null or
  // empty), x0 is empty or the objective declares x0 unfeasible (a NaN value or coordinate counts
  // as such).
  KelMinimizationRobust(const KelVector& x0, KelObjective f);
  // Closes the trajectory file, if any.
  ~KelMinimizationRobust() override;
  KelMinimizationRobust(const KelMinimizationRobust&) = delete;
  KelMinimizationRobust& operator=(const KelMinimizationRobust&) = delete;

  // Starts a new search from x0 (same dimension); clears the stop flag and the collapse history,
  // keeps the bounds, fToll and the trajectory file.
  void Initialize(const KelVector& x0);
  // Runs or continues the search for at most maxIterations feasible evaluations (not positive:
  // 100000000) and returns the exit cause; a finished search returns its cause at once.
  signed char operator()(int maxIterations);
  // Opens the trajectory file, writes its header and the start point; later improvements of the
  // best value are appended. Fatal when the file cannot be opened.
  void Save(const char* fileName);
  // Writes the summary: start point and value, counts, best point and value, vertex values,
  // cause of exit.
  void PrintObject() override;

  // Box constraints, -kelUnbounded and +kelUnbounded until set; points outside are never handed to
  // the objective (they are clipped and penalised). Fatal on a size mismatch or lower > upper.
  void SetBounds(const KelVector& lower, const KelVector& upper);
  // The search ends as soon as the best value falls below fToll (-kelUnbounded by default: no
  // target).
  void SetFToll(double value) { fToll = value; }
  // 1: a trace line at each step of the search; 0: silent (default, reset by Initialize).
  void SetTrace(int value) { traceSwitch = value; }

  // Best point and value found so far; the starting point and its value.
  const KelVector& XMin() const { return xMin; }
  double FSolution() const { return fSolution; }
  const KelVector& X0() const { return x0; }
  double StartValue() const { return valueAtStart; }
  // Values at the n+1 vertices, in vertex order.
  const KelVector& VertexValues() const { return vertexValues; }
  // Exit cause of the last operator() call (kNotRun before any).
  signed char ExitCause() const { return exitCause; }
  // Feasible evaluations of the last call; all evaluations and the feasible ones since
  // construction.
  int IterationsInLastCall() const { return iterationsInLastCall; }
  int TotalIterations() const { return totalIterations; }
  int FeasibleIterations() const { return feasibleIterations; }
  int GetSerialNumber() const { return serialNumber; }

  static KelObjectCounter counter;

 private:
  // Search steps (kel_minimization_robust_search.cpp).
  signed char MinimumSolve();
  void Start();
  void Action();
  void Baricenter();
  void RegularMove();
  void CollapseHandling(double tolX);
  void HalfMove();
  void Perturb();
  void Rebuild();
  void ReplaceWorst(const KelVector& point, double value);
  void SortVertices();
  void EndOfStep();
  bool BelowFToll();

  // Evaluation and bookkeeping (kel_minimization_robust.cpp).
  void StartFrom(const KelVector& x0);
  double Evaluate(const KelVector& x, bool* feasible = nullptr);
  double BoundedValue(const KelVector& x);
  void WriteTrajectoryLine(double value, const KelVector& point);
  void WriteTrajectoryIfImproved();
  void Trace(const char* text) const;

  int serialNumber = 0;
  int state = 1;
  FILE* trajectoryFile = nullptr;
  unsigned char saveSwitch = 0;
  int n = 0;
  int n1 = 0;
  int iterationsInLastCall = 0;
  int totalIterations = 0;
  int feasibleIterations = 0;
  int maxIterations = 0;
  int restartPhase = 0;
  int traceSwitch = 0;
  signed char exitCause = kNotRun;
  signed char collapseCount = 0;
  unsigned char stopFlag = 0;

  KelVector x0;
  KelVector startPoint;
  KelVector trialPoint;
  KelVector xMin;
  KelVector referencePoint;
  KelVector clippedPoint;
  KelVector steps;
  // vertices[i - 1] is vertex i, i = 1..n+1.
  std::vector<KelVector> vertices;
  KelVector vertexValues;
  KelVector barycenter;
  KelVector reflectionPoint;
  KelVector expansionPoint;
  KelVector secondContractionPoint;
  KelVector worstCopy;
  KelVector secondWorstCopy;
  KelVector direction;
  KelVector workVector;
  KelVector sortBuffer;
  KelVector lowerBounds;
  KelVector upperBounds;

  double valueAtStart = 0.0;
  double fSolution = 0.0;
  double previousBest = 0.0;
  double dF = 0.0;
  double dxNorm = 0.0;
  double barycenterNorm = 0.0;
  double xTolRelative = 1e-13;
  double xTolAbsolute = 1e-25;
  double fTolRelative = 1e-13;
  double fTolAbsolute = 1e-25;
  double lastSavedValue = 0.0;
  double reflectionValue = 0.0;
  double expansionValue = 0.0;
  double secondWorstValue = 0.0;
  double worstValue = 0.0;
  double secondContractionValue = 0.0;
  double fToll = -kelUnbounded;

  KelVectorInt order;
  KelObjective objective;
};

#endif

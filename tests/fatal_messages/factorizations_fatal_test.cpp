// Fatal messages of the factorizations: the KelFactorized family, the symmetric factorizations,
// the square subsystems and the flat SVD and Householder routines of the public headers.
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

KelMatrix Square() {
  return KelMatrix(2, 2, 4., 1., 2., 3.);
}

KelMatrix Tall() {
  return KelMatrix(3, 2, 1., 2., 3., 4., 5., 7.);
}

KelMatrix Wide() {
  return KelMatrix(2, 3, 1., 2., 3., 4., 5., 7.);
}

}  // namespace

// ---- KelFactorized ----

TEST(FatalFactorized, ElementOfFactorizedMatrix) {
  KelFactorizedGauss gauss(Square());
  KelVector b(2, 1., 1.);
  EXPECT_KEL_FATAL(
      {
        Solve(&gauss, &b);
        gauss(1, 1) = 0.0;
      },
      "KelFactorized class\nKelMatrix Destroyed");
}

TEST(FatalFactorized, ElementOutOfRange) {
  KelFactorizedGauss gauss(Square());
  EXPECT_KEL_FATAL(
      gauss(3, 1) = 0.0,
      "KelFactorized class\n\nDimension check failure\nindex (3, 1), valid (1..2, 1..2)");
}

// A solve made for singular values only (the object's mode set to 1) destroys the matrix;
// the decomposition asked afterwards needs U and V and so a new factorization of the matrix.
TEST(FatalFactorized, DestroyedMatrixInPrepSolve) {
  KelFactorizedSVD svd(Tall());
  KelVector b(3, 1., 2., 3.), w;
  KelMatrix V, U;
  EXPECT_KEL_FATAL(
      {
        svd.SetRequiredMode(1);
        Solve(&svd, &b);
        svd.GetDecomposition(&w, &V, &U);
      },
      "KelFactorized class\nKelMatrix Destroyed\nFunction: PrepSolve");
}

TEST(FatalFactorized, SolveInPlaceWithWrongSize) {
  KelFactorizedGauss gauss(Square());
  KelVector b(3);
  EXPECT_KEL_FATAL(
      Solve(&gauss, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n2 x 2 and size 3");
}

TEST(FatalFactorized, SolveIntoOtherWithWrongSize) {
  KelFactorizedGauss gauss(Square());
  KelVector b(3), x;
  EXPECT_KEL_FATAL(
      Solve(&gauss, b, &x),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n2 x 2 and size 3");
}

TEST(FatalFactorized, SolveMatrixInPlaceWithWrongRows) {
  KelFactorizedQR qr(Tall());
  KelMatrix B(2, 2);
  EXPECT_KEL_FATAL(
      Solve(&qr, &B),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n3 x 2 and 2 x 2");
}

TEST(FatalFactorized, SolveMatrixIntoOtherWithWrongRows) {
  KelFactorizedQR qr(Tall());
  KelMatrix B(2, 2), X;
  EXPECT_KEL_FATAL(
      Solve(&qr, B, &X),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n3 x 2 and 2 x 2");
}

TEST(FatalFactorized, TransposeSolveInPlaceWithWrongSize) {
  KelFactorizedQR qr(Tall());
  KelVector b(3);
  EXPECT_KEL_FATAL(TransposeSolve(&qr, &b),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: TransposeSolve\n3 "
                   "x 2 and size 3");
}

TEST(FatalFactorized, TransposeSolveIntoOtherWithWrongSize) {
  KelFactorizedQR qr(Tall());
  KelVector b(3), x;
  EXPECT_KEL_FATAL(TransposeSolve(&qr, b, &x),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: TransposeSolve\n3 "
                   "x 2 and size 3");
}

TEST(FatalFactorized, TransposeSolveMatrixInPlaceWithWrongRows) {
  KelFactorizedLQ lq(Wide());
  KelMatrix B(2, 2);
  EXPECT_KEL_FATAL(TransposeSolve(&lq, &B),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: TransposeSolve\n2 "
                   "x 3 and 2 x 2");
}

TEST(FatalFactorized, TransposeSolveMatrixIntoOtherWithWrongRows) {
  KelFactorizedLQ lq(Wide());
  KelMatrix B(2, 2), X;
  EXPECT_KEL_FATAL(TransposeSolve(&lq, B, &X),
                   "KelFactorized class\n\nDimension check failure\n\nFunction: TransposeSolve\n2 "
                   "x 3 and 2 x 2");
}

TEST(FatalFactorized, GaussOfNonSquareMatrix) {
  KelFactorizedGauss gauss(Tall());
  KelVector b(3);
  EXPECT_KEL_FATAL(
      Solve(&gauss, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: SpecificInitialize\n3 x 2");
}

TEST(FatalFactorized, LQOfTallMatrix) {
  KelFactorizedLQ lq(Tall());
  KelVector b(3);
  EXPECT_KEL_FATAL(
      Solve(&lq, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization LQ\n3 x 2");
}

TEST(FatalFactorized, PermutationOfTallLQ) {
  KelFactorizedLQ lq(Tall());
  KelMatrix P;
  EXPECT_KEL_FATAL(
      lq.GetKelMatrixP(&P),
      "KelFactorized class\n\nDimension check failure\n\nFunction:  GetKelMatrixP\n3 x 2");
}

TEST(FatalFactorized, QROfWideMatrix) {
  KelFactorizedQR qr(Wide());
  KelVector b(2);
  EXPECT_KEL_FATAL(
      Solve(&qr, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization QR\n2 x 3");
}

TEST(FatalFactorized, SVDOfWideMatrix) {
  KelFactorizedSVD svd(Wide());
  KelVector b(2);
  EXPECT_KEL_FATAL(
      Solve(&svd, &b),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Factorization SVD\n2 x 3");
}

TEST(FatalFactorized, SVDTransposeSolveOfMatrixInPlace) {
  KelFactorizedSVD svd(Tall());
  KelMatrix B(2, 2, 1., 0., 0., 1.);
  EXPECT_KEL_FATAL(TransposeSolve(&svd, &B), "KelFactorized class\n\nFunction not implemented\n");
}

TEST(FatalFactorized, SVDTransposeSolveOfMatrixIntoOther) {
  KelFactorizedSVD svd(Tall());
  KelMatrix B(2, 2, 1., 0., 0., 1.), X;
  EXPECT_KEL_FATAL(TransposeSolve(&svd, B, &X),
                   "KelFactorized class\n\nFunction not implemented\n");
}

TEST(FatalFactorized, SVDTruncatedSolveIntoItsRightHandSide) {
  KelFactorizedSVD svd(Tall());
  KelVector b(3, 1., 2., 3.);
  EXPECT_KEL_FATAL(Solve(&svd, b, &b, 1), "KelFactorized class\n\nFunction:  b is equal to x");
}

TEST(FatalFactorized, SVDTruncatedSolveWithWrongSize) {
  KelFactorizedSVD svd(Tall());
  KelVector b(2), x;
  EXPECT_KEL_FATAL(
      Solve(&svd, b, &x, 1),
      "KelFactorized class\n\nDimension check failure\n\nFunction: Solve\n3 x 2 and size 2");
}

// ---- Symmetric factorizations ----

namespace {

KelMatrixSymmetric Symmetric(double a11, double a21, double a22) {
  KelMatrixSymmetric S(2, 2);
  S(1, 1) = a11;
  S(2, 1) = a21;
  S(2, 2) = a22;
  return S;
}

}  // namespace

TEST(FatalFactorizedSymmetric, SolveWithWrongSize) {
  KelFactorizedSymmetricNoPivot f(Symmetric(2.0, 1.0, 2.0));
  KelVector b(3);
  EXPECT_KEL_FATAL(f.Solve(&b),
                   "KelFactorizedSymmetricBase class\n\nDimension check failure\n\nFunction: "
                   "Solve\n2 x 2 and size 3");
}

TEST(FatalFactorizedSymmetric, SolveMatrixWithWrongRows) {
  KelFactorizedSymmetricNoPivot f(Symmetric(2.0, 1.0, 2.0));
  KelMatrix B(3, 1);
  EXPECT_KEL_FATAL(Solve(&f, &B),
                   "KelFactorizedSymmetricBase class\n\nDimension check failure\n\nFunction: "
                   "Solve\n2 x 2 and 3 x 1");
}

// Mostly zeros in the first two columns take the outer-product form, which meets a zero pivot.
TEST(FatalFactorizedSymmetric, SingularMatrix) {
  KelFactorizedSymmetricNoPivot f(Symmetric(0.0, 0.0, 1.0));
  KelVector b(2, 1., 1.);
  EXPECT_KEL_FATAL(f.Solve(&b), "KelFactorizedSymmetricBase class\n The matrix is singular");
}

TEST(FatalFactorizedSymmetric, IndefiniteMatrix) {
  KelFactorizedSymmetricNoPivot f(Symmetric(1.0, 2.0, 1.0));
  KelMatrix X;
  EXPECT_KEL_FATAL(f.Inverse(&X),
                   "KelFactorizedSymmetricBase class\n The matrix is not definite positive");
}

TEST(FatalFactorizedSymmetric, RankOneUpdateLosingDefiniteness) {
  KelFactorizedSymmetricNoPivot f(Symmetric(2.0, 1.0, 2.0));
  KelVector z(2, 1., 0.);
  EXPECT_KEL_FATAL(f.ChangeFactorization(-4.0, &z),
                   "KelFactorizedSymmetricBase class\n The matrix is not definite positive");
}

TEST(FatalFactorizedSymmetric, RankOneUpdateWithWrongSize) {
  KelFactorizedSymmetricNoPivot f(Symmetric(2.0, 1.0, 2.0));
  KelVector z(3);
  EXPECT_KEL_FATAL(f.ChangeFactorization(1.0, &z),
                   "KelFactorizedSymmetricBase class\n\nDimension check failure\n\nFunction: "
                   "ChangeFactorization\n2 x 2 and size 3");
}

TEST(FatalFactorizedSymmetric, RankOneUpdateOfPivotedFactorization) {
  KelFactorizedSymmetricPivot f(Symmetric(2.0, 1.0, 2.0));
  KelVector z(2, 1., 0.);
  EXPECT_KEL_FATAL(f.ChangeFactorization(1.0, &z),
                   "ChangeFactorization\nFunction not implemented\n");
}

// ---- Square subsystems ----

TEST(FatalSolveSquare, FewerEquationsThanUnknowns) {
  KelMatrix X;
  EXPECT_KEL_FATAL(SolveSquare(Wide(), KelVector(2), &X),
                   "\n\nERROR!!!\n\nDimension check failure\n\nFunction: SolveSquare\n2 x 3");
}

TEST(FatalSolveSquare, RightHandSideOfWrongSize) {
  KelMatrix X;
  EXPECT_KEL_FATAL(
      SolveSquare(Tall(), KelVector(2), &X),
      "\n\nERROR!!!\n\nDimension check failure\n\nFunction: SolveSquare\n3 x 2 and size 2");
}

// ---- Flat routines (the classes check the shape first, so only a direct call reaches these) ----

namespace {

struct FlatWide {
  KelMatrix a = Wide();
  KelMatrix V;
  std::vector<double> w = std::vector<double>(8, 0.0);
  std::vector<double> e = std::vector<double>(8, 0.0);
  std::vector<double> b = std::vector<double>(8, 0.0);
  std::vector<double> x = std::vector<double>(8, 0.0);
  std::vector<double> scratch;
  KelSvdWorkspace workspace;
};

}  // namespace

TEST(FatalFlatRoutines, BidiagonalOfWideMatrix) {
  FlatWide f;
  EXPECT_KEL_FATAL(Bidiagonal(2, 3, f.a.RowPointers(), f.w.data(), f.e.data()),
                   "\n m < n in Bidiagonal\n2 x 3");
}

TEST(FatalFlatRoutines, SVDWithUnknownMode) {
  KelMatrix a = Tall();
  FlatWide f;
  EXPECT_KEL_FATAL(SVDFactorization(5, 3, 2, a.RowPointers(), f.w.data(), &f.V, f.workspace),
                   "1 <= required <= 4 in SVD\nrequired = 5");
}

TEST(FatalFlatRoutines, SVDOfWideMatrix) {
  FlatWide f;
  EXPECT_KEL_FATAL(SVDFactorization(4, 2, 3, f.a.RowPointers(), f.w.data(), &f.V, f.workspace),
                   "m < n in SVD\n2 x 3");
}

TEST(FatalFlatRoutines, SVDBackOfWideMatrix) {
  FlatWide f;
  EXPECT_KEL_FATAL(SVDBack(2, 3, f.a.RowPointers(), f.w.data(), f.V, f.b.data(), f.x.data(), 0.0),
                   "\nm<n in SVDBack\n2 x 3");
}

TEST(FatalFlatRoutines, SVDSolutionOfWideMatrix) {
  FlatWide f;
  EXPECT_KEL_FATAL(
      SVDSolution(2, 3, f.a.RowPointers(), f.w.data(), f.V, f.b.data(), f.x.data(), 0.0),
      "\nrows < columns in SVDSolution\n2 x 3");
}

TEST(FatalFlatRoutines, QROfWideMatrix) {
  FlatWide f;
  EXPECT_KEL_FATAL(QRFactorization(2, 3, f.a.RowPointers(), f.w.data(), f.e.data(), 0.0, f.scratch),
                   "rows < columns in QRFactorization\n2 x 3");
}

TEST(FatalFlatRoutines, LQOfTallMatrix) {
  KelMatrix a = Tall();
  FlatWide f;
  EXPECT_KEL_FATAL(LQFactorization(3, 2, a.RowPointers(), f.w.data(), f.e.data(), 0.0, f.scratch),
                   "rows > columns in LQFactorization\n3 x 2");
}

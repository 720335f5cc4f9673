#include "foundation/kel_errors.h"

const char* const kelErrIndex = "\nIndex out of range\n";
const char* const kelErrSpace = "\nNo room in heap\n";
const char* const kelErrOpen = "\nCan't open FILE\n";
const char* const kelErrClose = "\nCan't close FILE\n";
const char* const kelErrRead = "\nCan't read FILE\n";
const char* const kelErrWrite = "\nCan't write FILE\n";
const char* const kelErrCheck = "\nDimension check failure\n";
const char* const kelErrScope = "\nOut of Scope\n";
const char* const kelErrFactorized = "\nKelMatrix is overloaded with factorization\n";
const char* const kelErrImplemented = "\nFunction not implemented\n";

const char* const kelErrFunction = "\nFunction: ";
const char* const kelErrConstructor = "\nConstructor: ";
const char* const kelErrOperator = "\nOperator: ";

const char* const kelClassVector = "KelVector class\n";
const char* const kelClassMatrix = "KelMatrix class\n";
const char* const kelClassMatrixSymmetric = "KelMatrixSymmetric class\n";
const char* const kelClassMatrixLeft = "KelMatrixLeft class\n";
const char* const kelClassFactorized = "KelFactorized class\n";
const char* const kelClassFactorizedSymmetricBase = "KelFactorizedSymmetricBase class\n";
const char* const kelClassLinearRegression = "KelLinearRegression class\n";
const char* const kelClassNonLinearRegression = "KelNonLinearRegression class\n";
const char* const kelClassMinimizationRobust = "KelMinimizationRobust class\n";
const char* const kelClassMatrixSparse = "KelMatrixSparse class\n";
const char* const kelClassLoad = "KelLoad class";
const char* const kelClassStreamingQR = "KelStreamingQR class\n";
const char* const kelClassStreamingLeastSquares = "KelStreamingLeastSquares class\n";
const char* const kelClassStreamingDiagnostics = "KelStreamingDiagnostics class\n";
const char* const kelClassVectorInt = "class KelVectorInt\n";
const char* const kelClassSave = "KelSave class";

const char* const kelErrDivisionByZero = "Division with 0.";

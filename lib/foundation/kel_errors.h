// Error texts and kinds that every class combines into its fatal messages, and the class texts.
#ifndef KELMATH_KEL_ERRORS_H
#define KELMATH_KEL_ERRORS_H

// Messages: each begins and ends with a newline.
extern const char* const kelErrIndex;
extern const char* const kelErrSpace;
extern const char* const kelErrOpen;
extern const char* const kelErrClose;
extern const char* const kelErrRead;
extern const char* const kelErrWrite;
extern const char* const kelErrCheck;
extern const char* const kelErrScope;
extern const char* const kelErrFactorized;
extern const char* const kelErrImplemented;

// Kinds: say what sort of member raised the error; the operation name follows on the same line.
extern const char* const kelErrFunction;
extern const char* const kelErrConstructor;
extern const char* const kelErrOperator;

// Class texts, the first part of every message a class raises.
extern const char* const kelClassVector;
extern const char* const kelClassMatrix;
extern const char* const kelClassMatrixSymmetric;
extern const char* const kelClassMatrixLeft;
extern const char* const kelClassFactorized;
extern const char* const kelClassFactorizedSymmetricBase;
extern const char* const kelClassLinearRegression;
extern const char* const kelClassNonLinearRegression;
extern const char* const kelClassMinimizationRobust;
extern const char* const kelClassMatrixSparse;
extern const char* const kelClassLoad;
extern const char* const kelClassStreamingQR;
extern const char* const kelClassStreamingLeastSquares;
extern const char* const kelClassStreamingDiagnostics;
extern const char* const kelClassVectorInt;
extern const char* const kelClassSave;

// The guarded division's message (array kernels, vector division).
extern const char* const kelErrDivisionByZero;

#endif

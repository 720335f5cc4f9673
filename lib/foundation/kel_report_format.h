// The marks and line pieces every report of the library shares, so that a reader (or a script)
// searching a report finds one spelling for each meaning.
#ifndef KELMATH_KEL_REPORT_FORMAT_H
#define KELMATH_KEL_REPORT_FORMAT_H

#include "foundation/kel_base.h"

// Appended to a report line whose verdict finds a problem.
inline constexpr const char* kelReportWarning = "  ** WARNING **";
// Heads the verdicts of the nonlinear model comparison and discrimination.
inline constexpr const char* kelReportComparisonWarning = " *** WARNING ***";

// KelBase::Print is not const, although printing changes nothing: the reports print their const
// results (matrices, vectors) through this, under the given title.
inline void KelPrintResult(const KelBase& result, const char* title) {
  const_cast<KelBase&>(result).Print("%s", title);
}

#endif

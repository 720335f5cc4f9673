# Reference values of the accurate tails: incomplete beta and gamma and the t, F and chi-square
# tails at small and large degrees of freedom, in the centre and far into the tails.
# Writes tails.csv with the columns of distributions.csv (function,arg1,arg2,arg3,value);
# argument order follows the library functions (see README.md).
# Run from this folder: Rscript tails.R

source("common.R")

rows <- list()
# Whole degrees of freedom are written as integers (the library takes them as int).
arg <- function(v) {
  if (is.na(v)) "" else if (v == round(v) && abs(v) < 1e9) sprintf("%.0f", v) else fshort(v)
}
add <- function(fn, a1, a2, a3, v) {
  rows[[length(rows) + 1]] <<- data.frame(function_ = fn,
    arg1 = arg(a1), arg2 = arg(a2), arg3 = arg(a3), value = f17(v),
    stringsAsFactors = FALSE)
}

# KelIncompleteBeta(a, b, x) = pbeta(x, a, b); KelIncompleteBeta(b, a, 1 - x) is the upper tail.
shapes <- c(0.5, 1, 2.5, 10, 50, 500, 5000, 50000)
for (a in shapes) for (b in shapes)
  for (x in c(1e-8, 1e-3, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 0.999, 1 - 1e-6)) {
    add("betainc", a, b, x, pbeta(x, a, b))
  }
# near the mean of large shapes, where the fraction needs the most terms
for (a in c(500, 5000, 50000)) for (b in c(0.5, 1, 2.5, a))
  for (z in c(-3, -1, 0, 1, 3)) {
    m <- a / (a + b)
    s <- sqrt(a * b / ((a + b)^2 * (a + b + 1)))
    x <- m + z * s
    if (x > 0 && x < 1) add("betainc", a, b, x, pbeta(x, a, b))
  }

# KelIncompleteGammaP(a, x) = pgamma(x, a), KelIncompleteGammaQ(a, x) its upper tail.
for (a in c(0.5, 1, 2.5, 10, 100, 1000, 10000))
  for (r in c(1e-3, 0.1, 0.5, 0.9, 0.99, 1, 1.01, 1.1, 2, 5, 20)) {
    x <- a * r
    add("gammainc_P", a, x, NA, pgamma(x, a))
    add("gammainc_Q", a, x, NA, pgamma(x, a, lower.tail = FALSE))
  }
for (a in c(0.5, 1, 2.5, 10)) for (x in c(1e-10, 1e-4, 50, 200, 600)) {
  add("gammainc_P", a, x, NA, pgamma(x, a))
  add("gammainc_Q", a, x, NA, pgamma(x, a, lower.tail = FALSE))
}

# KelTStudentProbability(dof, t) = P(T > |t|). Above 4e5 degrees of freedom R's pt switches to a
# normal approximation (Abramowitz and Stegun 26.7.8), good to about 1e-11 only; there the tail
# is taken from pbeta as I_y(1/2, dof/2)/2 upper tail, y = t^2/(dof + t^2), which is exact.
t_upper <- function(t, dof) {
  if (dof <= 4e5) return(pt(t, dof, lower.tail = FALSE))
  0.5 * pbeta(t^2 / (dof + t^2), 0.5, dof / 2, lower.tail = FALSE)
}
for (dof in c(1, 2, 3, 5, 10, 30, 100, 1000, 10000, 100000, 1000000))
  for (t in c(1e-3, 0.1, 0.5, 1, 2, 3, 5, 10, 30, 100, 1000, 1e5, 1e10))
    add("t_upper_one_sided", dof, t, NA, t_upper(t, dof))

# KelFProbability(dfNum, dfDen, f) = P(F > f)
for (d1 in c(1, 2, 5, 10, 100, 10000)) for (d2 in c(1, 3, 10, 30, 1000, 100000))
  for (f in c(1e-4, 0.01, 0.5, 1, 2, 5, 20, 100, 1e4, 1e8))
    add("f_upper", d1, d2, f, pf(f, d1, d2, lower.tail = FALSE))

# KelChiSquareProbability(dof, x), KelChiSquareLowerProbability(dof, x)
for (dof in c(1, 2, 3, 5, 10, 50, 200, 1000, 10000))
  for (x in unique(c(1e-6, 1e-3, 0.1, 1, 2, 5, 10, dof / 2, dof, 1.5 * dof, 2 * dof,
                     100, 500, 1000, 1400))) {
    add("chisq_upper", dof, x, NA, pchisq(x, dof, lower.tail = FALSE))
    add("chisq_lower", dof, x, NA, pchisq(x, dof))
  }

out <- do.call(rbind, rows)
names(out) <- c("function", "arg1", "arg2", "arg3", "value")
write.csv(out, "tails.csv", row.names = FALSE, quote = FALSE)

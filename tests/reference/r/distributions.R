# Reference values of the special functions and distribution tails.
# Writes distributions.csv with columns function,arg1,arg2,arg3,value.
# Argument order follows the library functions (see README.md).
# Run from this folder: Rscript distributions.R

source("common.R")

rows <- list()
add <- function(fn, a1, a2, a3, v) {
  rows[[length(rows) + 1]] <<- data.frame(function_ = fn,
    arg1 = fshort(a1), arg2 = if (is.na(a2)) "" else fshort(a2),
    arg3 = if (is.na(a3)) "" else fshort(a3), value = f17(v),
    stringsAsFactors = FALSE)
}

# Chi-square tails: KelChiSquareProbability(dof, x), KelChiSquareLowerProbability(dof, x)
for (dof in c(1, 2, 3, 5, 8, 10, 30, 100))
  for (x in c(0.1, 0.5, 1, 2, 5, 10, 15, 20, 50, 100)) {
    add("chisq_upper", dof, x, NA, pchisq(x, dof, lower.tail = FALSE))
    add("chisq_lower", dof, x, NA, pchisq(x, dof, lower.tail = TRUE))
  }
# extra statistic value used by statistics_tests; (8, 15) is already in the grid
add("chisq_upper", 5, 1.2, NA, pchisq(1.2, 5, lower.tail = FALSE))
add("chisq_lower", 5, 1.2, NA, pchisq(1.2, 5))

# Student t: KelTStudentProbability(dof, t) = P(T > |t|), one-sided; and twice it
for (dof in c(1, 2, 3, 5, 10, 20, 30, 100))
  for (t in c(0, 0.5, 1, 1.5, 2, 2.0137, 2.5, 2.7, 3, 5, 10)) {
    p1 <- pt(abs(t), dof, lower.tail = FALSE)
    add("t_upper_one_sided", dof, t, NA, p1)
    add("t_two_sided", dof, t, NA, 2 * p1)
  }
# negative t gives the same one-sided value (abs)
for (dof in c(4, 10)) for (t in c(-2, -2.7))
  add("t_upper_one_sided", dof, t, NA, pt(abs(t), dof, lower.tail = FALSE))

# F: KelFProbability(dfNum, dfDen, f) upper tail, and KelFTwoWayProbability rule
f_two_way <- function(d1, d2, f) {
  if (f == 0) return(1)
  p <- if (f > 1) 2 * pf(f, d1, d2, lower.tail = FALSE)
       else 2 * pf(f, d1, d2, lower.tail = TRUE)
  if (p > 1) 2 - p else p
}
for (dd in list(c(1, 1), c(2, 5), c(4, 9), c(5, 12), c(12, 5), c(10, 30)))
  for (f in c(0, 0.1, 0.10111223458038422, 0.5, 1, 2, 3.63, 5, 9.89, 20)) {
    add("f_upper", dd[1], dd[2], f, pf(f, dd[1], dd[2], lower.tail = FALSE))
    add("f_two_way", dd[1], dd[2], f, f_two_way(dd[1], dd[2], f))
  }

# Standard normal: KelNormalProbability(z) = P(Z > z); KelErfc(x)
for (z in c(-3, -2, -1, 0, 1, 1.96, 2.326, 3, 5, 8))
  add("normal_upper", z, NA, NA, pnorm(z, lower.tail = FALSE))
for (x in c(-2, -0.5, 0, 0.5, 1, 2, 3))
  add("erfc", x, NA, NA, 2 * pnorm(x * sqrt(2), lower.tail = FALSE))

# Binomial pmf: KelBinomialProbability(n, k, p) = dbinom(k, n, p)
add("binom_pmf", 10, 2, 0.1, dbinom(2, 10, 0.1))
for (k in 0:6) add("binom_pmf", 20, k, 0.5, dbinom(k, 20, 0.5))
add("binom_pmf_cum_le6", 20, 6, 0.5, pbinom(6, 20, 0.5))       # sum k=0..6
for (nkp in list(c(5, 0, 0.3), c(5, 5, 0.3), c(12, 4, 0.25), c(50, 25, 0.5),
                 c(100, 10, 0.05), c(30, 1, 0.9)))
  add("binom_pmf", nkp[1], nkp[2], nkp[3], dbinom(nkp[2], nkp[1], nkp[3]))

# Poisson pmf: KelPoissonProbability(lambda, t, k) = dpois(k, lambda * t)
for (k in 0:6) add("poisson_pmf", 24, 0.25, k, dpois(k, 24 * 0.25))
add("poisson_upper_ge5", 24, 0.25, 5, ppois(4, 6, lower.tail = FALSE))  # 1 - sum k=0..4
for (ltk in list(c(10, 0.5, 0), c(10, 0.5, 3), c(10, 0.5, 5), c(3, 1, 0),
                 c(3, 1, 2), c(100, 0.1, 10), c(2, 2, 7)))
  add("poisson_pmf", ltk[1], ltk[2], ltk[3], dpois(ltk[3], ltk[1] * ltk[2]))

# Binomial coefficient and log factorial: KelBinomial(n, k), KelLogFactorial(n)
for (nk in list(c(10, 2), c(20, 6), c(50, 25), c(5, 0), c(7, 7)))
  add("choose", nk[1], nk[2], NA, choose(nk[1], nk[2]))
for (n in c(0, 1, 2, 5, 10, 50, 100, 101, 170))
  add("lfactorial", n, NA, NA, lfactorial(n))

# ln Gamma: KelLnGamma(x)
for (x in c(0.5, 1, 1.5, 2, 3.7, 10, 50, 100, 171.5))
  add("lgamma", x, NA, NA, lgamma(x))

# Regularized incomplete gamma: KelIncompleteGammaP(a, x), KelIncompleteGammaQ(a, x)
for (a in c(0.5, 1, 2.5, 5, 10, 50))
  for (x in c(0, 0.1, 1, 2, 5, 10, 20, 60)) {
    add("gammainc_P", a, x, NA, pgamma(x, a))
    add("gammainc_Q", a, x, NA, pgamma(x, a, lower.tail = FALSE))
  }

# Regularized incomplete beta: KelIncompleteBeta(a, b, x) = pbeta(x, a, b)
for (ab in list(c(0.5, 0.5), c(1, 1), c(2, 3), c(5, 0.5), c(0.5, 5), c(10, 10),
                c(2.5, 6), c(50, 0.5)))
  for (x in c(0, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 1))
    add("betainc", ab[1], ab[2], x, pbeta(x, ab[1], ab[2]))

out <- do.call(rbind, rows)
names(out)[1] <- "function"
write.csv(out, "distributions.csv", row.names = FALSE, quote = FALSE)
cat("distributions.csv:", nrow(out), "rows\n")

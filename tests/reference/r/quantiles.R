# Student t quantiles, confidence intervals of straight-line fits at chosen residual degrees
# of freedom, and Poisson and binomial probabilities at large counts.
# Writes t_quantiles.txt and mass_functions.csv.
source("common.R")

dofs <- c(1, 2, 5, 20, 21, 28, 100, 1000, 1e6)
w <- kv_open("t_quantiles.txt")
w$comment("qt(1 - p, dof) for the upper tail probabilities p of the two-sided 95 % and 99 % intervals")
w$comment("and a few others; key t[dof,p].")
for (dof in sort(c(dofs, 3, 4, 23))) for (p in c(0.025, 0.005, 0.25, 0.05, 1e-4, 1e-8))
  w$scalar(sprintf("t[%s,%s]", fshort(dof), fshort(p)), qt(p, dof, lower.tail = FALSE))
for (dof in c(0.5, 2.5, 7.25))
  w$scalar(sprintf("t[%s,%s]", fshort(dof), fshort(0.025)), qt(0.025, dof, lower.tail = FALSE))
w$comment("confint(lm(y ~ x), level = L) with x[i] = i/m, y[i] = 1 + 2 x[i] + sin(i)/10, i = 1..m,")
w$comment("m = dof + 2; key ci[dof,level,j,side] (j = 1 intercept, 2 slope; side 1 lower, 2 upper)")
for (dof in dofs) {
  m <- dof + 2
  i <- seq_len(m)
  x <- i / m
  y <- 1 + 2 * x + sin(i) / 10
  fit <- lm(y ~ x)
  for (level in c(0.95, 0.99)) {
    ci <- confint(fit, level = level)
    for (j in 1:2) for (side in 1:2)
      w$scalar(sprintf("ci[%s,%s,%d,%d]", fshort(dof), fshort(level), j, side), ci[j, side])
  }
}
w$close()

con <- file("mass_functions.csv", open = "w")
writeLines("function,arg1,arg2,arg3,value", con)
# KelPoissonProbability(lambda, t, k) with mean lambda t and t <= lambda: lambda = mean, t = 1
# for means of at least 1, else lambda = 1, t = mean.
poisson_row <- function(mu, k) {
  lambda <- max(mu, 1); t <- mu / lambda
  sprintf("poisson_pmf,%s,%s,%s,%s", fshort(lambda), fshort(t), fshort(k), f17(dpois(k, mu)))
}
pois <- expand.grid(k = c(0, 1, 176, 1000, 99999, 1e6), mean = c(0.5, 89, 1000, 1e5, 1e6))
for (r in seq_len(nrow(pois))) {
  k <- pois$k[r]; mu <- pois$mean[r]
  writeLines(poisson_row(mu, k), con)
}
extra <- list(c(89, 60), c(0.5, 20), c(1000, 1100), c(1e5, 100300), c(1e6, 1000500),
              c(1e6, 998000), c(3.5, 0), c(1e-3, 2), c(700, 1))
for (e in extra) writeLines(poisson_row(e[1], e[2]), con)
binom <- list(c(10, 2, 0.1), c(1000, 500, 0.5), c(1e6, 500000, 0.5), c(1e6, 1000, 0.001),
              c(1e6, 10, 1e-5), c(1e6, 999990, 0.99999), c(2000, 1, 0.3), c(1e6, 0, 1e-6),
              c(1e6, 1e6, 0.999999), c(50000, 12345, 0.25), c(1e6, 3e5, 0.5))
for (b in binom)
  writeLines(sprintf("binom_pmf,%s,%s,%s,%s", fshort(b[1]), fshort(b[2]), fshort(b[3]),
                     f17(dbinom(b[2], b[1], b[3]))), con)
close(con)

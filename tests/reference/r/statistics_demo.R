# Reference values for the statistics demonstration program (statistics_tests) and the
# descriptive statistics it prints. Writes statistics_demo.txt.
# Run from this folder: Rscript statistics_demo.R

source("common.R")
w <- kv_open("statistics_demo.txt")
w$comment("Reference values for the statistics demonstration (samples S1..S5).")
w$comment("Computed by R ", R.version$major, ".", R.version$minor, " (see README.md). 17 significant digits.")
w$comment("mean = mean(x); variance = var(x) (divisor n-1); sd = sd(x); median = median(x);")
w$comment("mad = mad(x) = 1.4826 * median(|x - median(x)|) (R's default constant and centre).")
w$comment("unbiasing_factor = 1/(sqrt(2/(n-1)) * exp(lgamma(n/2) - lgamma((n-1)/2))) (exact lgamma);")
w$comment("mad2 = (mad / unbiasing_factor)^2; z_normal = (x-mean)/sd; z_robust = (x-median)/mad.")
w$blank()

samples <- list(S1 = S1, S2 = S2, S3 = S3, S4 = S4, S5 = S5)
unb <- function(n) if (n == 1) 1 else 1 / (sqrt(2 / (n - 1)) * exp(lgamma(n / 2) - lgamma((n - 1) / 2)))
for (nm in names(samples)) {
  x <- samples[[nm]]
  n <- length(x)
  w$comment(nm, ": n = ", n)
  w$scalar(paste0(nm, ".n"), n)
  w$scalar(paste0(nm, ".mean"), mean(x))
  w$scalar(paste0(nm, ".variance"), var(x))
  w$scalar(paste0(nm, ".sd"), sd(x))
  w$scalar(paste0(nm, ".median"), median(x))
  w$scalar(paste0(nm, ".mad"), mad(x))
  w$scalar(paste0(nm, ".unbiasing_factor"), unb(n))
  w$scalar(paste0(nm, ".mad2"), (mad(x) / unb(n))^2)
  if (nm %in% c("S3", "S4")) {
    w$vector(paste0(nm, ".z_normal"), (x - mean(x)) / sd(x))
    w$vector(paste0(nm, ".z_robust"), (x - median(x)) / mad(x))
  }
  w$blank()
}

w$comment("S2 with the elements at positions 7, 17, 3, 18, 6 removed (the rejections the Part states");
w$comment("for GetCleverMeanVarianceOutliers); mean and var(divisor n-1) of the 15 kept. NOT an");
w$comment("independent run of the rejection procedure, only the statistics of the stated kept set.")
kept <- S2[-c(7, 17, 3, 18, 6)]
w$scalar("S2_kept.n", length(kept))
w$scalar("S2_kept.mean", mean(kept))
w$scalar("S2_kept.variance", var(kept))
w$scalar("S2_kept.equals_S1_as_multiset", identical(sort(kept), sort(S1)))
w$blank()

w$comment("Step 4: dbinom(2, 10, 0.1)")
w$scalar("binomial_10_2_0.1", dbinom(2, 10, 0.1))
w$comment("Step 5: sum_{i=0..6} dbinom(i, 20, 0.5) and pbinom(6, 20, 0.5)")
w$scalar("binomial_sum_20_le6_0.5", sum(dbinom(0:6, 20, 0.5)))
w$scalar("pbinom_6_20_0.5", pbinom(6, 20, 0.5))
w$comment("Step 6: 1 - sum_{j=0..4} dpois(j, 24*0.25) and ppois(4, 6, lower.tail=FALSE)")
w$scalar("poisson_1_minus_sum_le4_mean6", 1 - sum(dpois(0:4, 24 * 0.25)))
w$scalar("ppois_upper_4_6", ppois(4, 6, lower.tail = FALSE))
w$comment("Step 7: pnorm(2.326, lower.tail=FALSE)")
w$scalar("normal_upper_2.326", pnorm(2.326, lower.tail = FALSE))

w$comment("Step 8: one-sided t test on S5 against 3.13 (variance about the mean, divisor 10;")
w$comment("meanStandardDeviation = sqrt(variance * 0.09090909090909091); p = pt(t, 10, lower.tail=FALSE))")
m5 <- mean(S5)
v5 <- sum((S5 - m5)^2) / (length(S5) - 1)
msd <- sqrt(v5 * 0.09090909090909091)
t5 <- (m5 - 3.13) / msd
w$scalar("ttest.mean", m5)
w$scalar("ttest.variance", v5)
w$scalar("ttest.meanStandardDeviation", msd)
w$scalar("ttest.t", t5)
w$scalar("ttest.p_one_sided", pt(abs(t5), 10, lower.tail = FALSE))
tt <- t.test(S5, mu = 3.13, alternative = "greater")
w$comment("cross-check: t.test(S5, mu = 3.13, alternative = 'greater')")
w$scalar("t.test.statistic", unname(tt$statistic))
w$scalar("t.test.p.value", tt$p.value)
w$scalar("ttest.verdict", if (pt(abs(t5), 10, lower.tail = FALSE) >= 0.05)
  "I don't accept the hypothesis:mu > 3.13" else "I accept the hypothesis: mu > 3.13")

w$comment("Step 9: 2 * pt(-2.7, 10)")
w$scalar("t_two_sided_10_2.7", 2 * pt(-2.7, 10))
w$comment("Step 10: pchisq(15, 8, lower.tail=FALSE); pchisq(1.2, 5)")
w$scalar("chisq_upper_8_15", pchisq(15, 8, lower.tail = FALSE))
w$scalar("chisq_lower_5_1.2", pchisq(1.2, 5))
w$comment("Step 11: pf(3.63, 4, 9, lower.tail=FALSE)")
w$scalar("f_upper_4_9_3.63", pf(3.63, 4, 9, lower.tail = FALSE))
w$comment("Step 12: two-sided F; line 1 = 2*pf(9.89, 12, 5, lower.tail=FALSE) (f > 1 rule, p <= 1);")
w$comment("line 2 = the same; line 3 = 2*pf(0.10111223458038422, 5, 12) (f <= 1 rule: twice the lower tail)")
w$scalar("f_two_way_12_5_9.89", 2 * pf(9.89, 12, 5, lower.tail = FALSE))
w$scalar("f_2x_upper_12_5_9.89", 2 * pf(9.89, 12, 5, lower.tail = FALSE))
w$scalar("f_two_way_5_12_0.10111223458038422", 2 * pf(0.10111223458038422, 5, 12))
w$close()
cat("statistics_demo.txt written\n")

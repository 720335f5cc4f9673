# lgamma at the points where a log-gamma is hardest: tiny and subnormal arguments, both sides of
# the roots 1 and 2 at distances 1e-1 down to 1e-15, half-integers, integers past 170 (where
# Gamma itself overflows), a grid across 0.07..12, and 1e3 up to 1e305; then lfactorial and
# choose, which the library forms from the log-gamma. Writes lgamma.csv in the columns of
# distributions.csv: lgamma,x,,,value; lfactorial,n,,,value; choose,n,k,,value.
source("common.R")

rows <- list()
add <- function(fn, a1, a2, value) {
  rows[[length(rows) + 1]] <<- data.frame(
    fn = fn, arg1 = fshort(a1), arg2 = if (is.na(a2)) "" else fshort(a2), arg3 = "",
    value = f17(value), stringsAsFactors = FALSE)
}

d <- 10^-(1:15)
x <- c(
  # subnormal, the smallest normal, tiny
  4.9406564584124654e-324, 1e-320, 1e-310, 2.2250738585072014e-308,
  1e-300, 1e-250, 1e-200, 1e-150, 1e-100, 1e-50, 1e-30, 1e-20, 1e-16, 1e-12, 1e-8, 1e-5, 1e-3,
  # both sides of the roots 1 and 2
  1 - d, 1 + d, 2 - d, 2 + d,
  # the neighbours of 1 and 2 in binary
  1 - 2^-53, 1 + 2^-52, 2 - 2^-52, 2 + 2^-51,
  # half-integers and integers (Gamma overflows past 171.6)
  seq(0.5, 30.5, by = 1), 50.5, 100.5, 170.5, 171.5, 200.5,
  1:200, 500, 1000,
  # a grid across the small and medium range, and its neighbours of 0.5, 1.5, 2.5 and 10
  seq(0.07, 12, by = 0.13),
  0.5 * (1 + c(-1, 1) * 2^-52), 1.5 * (1 + c(-1, 1) * 2^-52), 2.5 * (1 + c(-1, 1) * 2^-52),
  10 * (1 + c(-1, 1) * 2^-52), 15 * (1 + c(-1, 1) * 2^-52),
  # large
  1234.5678, 1e4, 1e5, 1e6, 1e7, 1e8, 1e10, 1e12, 1e15, 2^53, 1e17, 1e20, 1e30, 1e50, 1e100,
  1e150, 1e200, 1e250, 1e300, 1e305)
for (v in x) add("lgamma", v, NA, lgamma(v))

for (n in c(0:30, 50, 99, 100, 101, 170, 171, 500, 1000, 10000, 1e6, 1e8, 2147483647))
  add("lfactorial", n, NA, lfactorial(n))

for (nk in list(c(20, 10), c(30, 15), c(40, 3), c(50, 25), c(56, 28), c(60, 30), c(100, 50),
                c(100, 1), c(100, 99), c(170, 85), c(200, 7), c(1000, 500), c(1000, 2)))
  add("choose", nk[1], nk[2], choose(nk[1], nk[2]))

out <- do.call(rbind, rows)
names(out)[1] <- "function"
write.csv(out, "lgamma.csv", row.names = FALSE, quote = FALSE)
cat("lgamma.csv:", nrow(out), "rows\n")

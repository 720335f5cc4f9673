# Recomputes, independently of the enumeration program, the Chebyshev fit of the subset that
# lms_exact_swiss.txt names and the library's criterion median(r^2) there, from R's own swiss
# data (the model matrix is checked against lms_data_swiss.txt). Run from this folder:
# Rscript check_swiss.R
source("../r/lms_exact.R")
d <- readLines("../r/lms_data_swiss.txt")
get <- function(lines, pattern) as.numeric(sub(".*= ", "", grep(pattern, lines, value = TRUE)))
F <- model.matrix(Fertility ~ ., swiss)
y <- swiss$Fertility
stopifnot(max(abs(unname(F) - matrix(get(d, "^F\\["), nrow(F), byrow = TRUE))) == 0)
e <- readLines("lms_exact_swiss.txt")
S <- get(e, "^subset\\[")
fit <- cheb_fit(F, y, S)
cat(sprintf("level^2 = %.17g\ncriterion = %.17g\nenumerated = %.17g\n", fit$delta^2,
            libcrit(F, y, fit$b), get(e, "^exact_min")))
cat(sprintf("largest coefficient difference = %.3g\n", max(abs(fit$b - get(e, "^coefficient\\[")))))

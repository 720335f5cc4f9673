# The smoother that plot.lm draws through "Residuals vs Fitted": lowess(fitted, residuals,
# f = 2/3, iter = 3) (panel.smooth with plot.lm's iter.smooth = 3), on the fits of
# diagnostics.R, and on two small sets with tied x and an outlier.
# Reads diagnostics_<name>.txt (fitted[i], residual[i]); writes lowess.txt with, per case,
# x[i] and y[i] (the inputs, in data order) and sx[i], sy[i] (lowess's sorted x and fit).
# Run from this folder after diagnostics.R: Rscript lowess.R

source("common.R")

read_vector <- function(path, key) {
  lines <- readLines(path)
  lines <- lines[startsWith(lines, paste0(key, "["))]
  as.numeric(sub(".* = ", "", lines))
}

kv <- kv_open("lowess.txt")
kv$comment(R.version.string, ": lowess(x, y, f = 2/3, iter = 3) (default delta = 0.01 diff(range(x)))")
emit <- function(name, x, y) {
  s <- lowess(x, y, f = 2/3, iter = 3)
  kv$scalar(paste0(name, "_n"), length(x))
  kv$vector(paste0(name, "_x"), x)
  kv$vector(paste0(name, "_y"), y)
  kv$vector(paste0(name, "_sx"), s$x)
  kv$vector(paste0(name, "_sy"), s$y)
}
for (name in c("mtcars", "airquality", "swiss", "swiss_no_intercept")) {
  path <- sprintf("diagnostics_%s.txt", name)
  emit(name, read_vector(path, "fitted"), read_vector(path, "residual"))
}
# Ties in x, an outlier that the robustness passes discount, points closer than delta.
emit("ties", c(3, 1, 2, 2, 5, 4, 4, 4, 6, 7, 8, 9, 10, 10.01, 11, 12),
     c(1.5, 0.2, 1.1, 0.9, 2.8, 2.2, 1.9, 2.1, 3.2, 9.5, 4.1, 4.4, 5.2, 5.0, 5.7, 6.1))
emit("sine", seq(0, 6, length.out = 25), sin(seq(0, 6, length.out = 25)) + c(rep(0, 12), 3, rep(0, 12)))
kv$close()

# Exact minimum of the library's least-median-of-squares criterion: the helpers shared by lms.R and
# lms_datasets.R (see the header of lms.R for the reasoning behind the enumeration).

ordstat <- function(F, y, b, k) sort(as.vector((y - F %*% b)^2))[k]
libcrit <- function(F, y, b) median(as.vector((y - F %*% b)^2))

# Chebyshev fit of the n+1 rows S; NULL when the rows are degenerate.
cheb_fit <- function(F, y, S) {
  A <- F[S, , drop = FALSE]; n <- ncol(F)
  q <- qr(A)
  if (q$rank < n) return(NULL)
  lam <- qr.Q(q, complete = TRUE)[, n + 1]
  l1 <- sum(abs(lam)); if (l1 == 0) return(NULL)
  delta <- sum(lam * y[S]) / l1
  rhs <- y[S] - delta * sign(lam)
  b <- qr.coef(q, rhs)
  if (any(is.na(b))) return(NULL)
  list(b = as.vector(b), delta = abs(delta), rows = S)
}

elemental_fit <- function(F, y, S) {
  A <- F[S, , drop = FALSE]
  if (abs(det(A)) < 1e-12 * prod(sqrt(colSums(A^2)))) return(NULL)
  list(b = as.vector(solve(A, y[S])), rows = S)
}

# Exact minimum of the library criterion for even m (see the header).
exact_even <- function(F, y) {
  m <- nrow(F); n <- ncol(F)
  cand <- list()
  for (sz in max(1, n - 1):(n + 1)) {
    subs <- combn(m, sz, simplify = FALSE)
    signs <- as.matrix(expand.grid(rep(list(c(1, -1)), sz)))
    signs <- signs[signs[, 1] == 1, , drop = FALSE]
    for (S in subs) for (si in seq_len(nrow(signs))) {
      A <- cbind(F[S, , drop = FALSE], signs[si, ])
      for (a in setdiff(1:m, S)) {
        fa <- F[a, ]
        Q <- matrix(0, n + 1, n + 1); Q[1:n, 1:n] <- tcrossprod(fa); Q[n + 1, n + 1] <- 1
        K <- rbind(cbind(2 * Q, t(A)), cbind(A, matrix(0, sz, sz)))
        z <- tryCatch(solve(K, c(2 * y[a] * fa, 0, y[S])), error = function(e) NULL)
        if (!is.null(z)) cand[[length(cand) + 1]] <- z[1:n]
      }
    }
  }
  cand
}

# Distinct coefficient vectors (relative difference > 1e-7) among those within 1e-9 of vmin.
distinct_minimisers <- function(cands, vals, vmin) {
  at <- cands[vals <= vmin * (1 + 1e-9) + 1e-300]
  keep <- list()
  for (b in at) if (!any(sapply(keep, function(k) max(abs(k - b) / pmax(abs(k), 1e-12)) < 1e-7)))
    keep[[length(keep) + 1]] <- b
  keep
}

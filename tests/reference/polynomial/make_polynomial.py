#!/usr/bin/env python3
"""A degree-10 polynomial least-squares problem as hard as the hardest NIST linear one
(82 abscissas in [-8.8, -3.1], condition number about 1e15), with its exact solution.

Writes polynomial10.lrg (F = [1, x, ..., x^10] and y as doubles, 17 significant digits, so
the file holds exactly the problem solved) and polynomial10.exact (the least-squares solution
of exactly that problem, from the normal equations solved in rational arithmetic, to 25
significant digits). Every double is an exact rational, so nothing here is rounded except the
printed solution. Run: python3 make_polynomial.py (about a second)."""
from fractions import Fraction
import math
import random

M, N = 82, 11
rng = random.Random(20261207)
xs = [-8.8 + 5.7 * i / (M - 1) for i in range(M)]
F = []
for x in xs:
    row, power = [], 1.0
    for _ in range(N):
        row.append(power)
        power *= x
    F.append(row)
ys = [0.85 + 0.02 * math.sin(1.3 * x) + 0.001 * x + rng.gauss(0.0, 0.003) for x in xs]

# Normal equations in exact rationals, solved by Gauss-Jordan elimination.
Fq = [[Fraction(v) for v in row] for row in F]
yq = [Fraction(v) for v in ys]
A = [[sum(Fq[k][i] * Fq[k][j] for k in range(M)) for j in range(N)] for i in range(N)]
c = [sum(Fq[k][i] * yq[k] for k in range(M)) for i in range(N)]
for col in range(N):
    pivot = next(r for r in range(col, N) if A[r][col] != 0)
    A[col], A[pivot] = A[pivot], A[col]
    c[col], c[pivot] = c[pivot], c[col]
    for r in range(N):
        if r != col and A[r][col] != 0:
            f = A[r][col] / A[col][col]
            A[r] = [a - f * b for a, b in zip(A[r], A[col])]
            c[r] -= f * c[col]
b = [c[i] / A[i][i] for i in range(N)]


def decimal(q, digits=25):
    """q to `digits` significant digits in scientific notation, computed exactly."""
    if q == 0:
        return "0"
    sign = "-" if q < 0 else ""
    q = abs(q)
    e = math.floor(math.log10(q.numerator) - math.log10(q.denominator))
    while q >= Fraction(10) ** (e + 1):
        e += 1
    while q < Fraction(10) ** e:
        e -= 1
    scaled = q / Fraction(10) ** (e - digits + 1)
    n = (scaled.numerator * 2 + scaled.denominator) // (2 * scaled.denominator)
    s = str(n)
    return f"{sign}{s[0]}.{s[1:]}e{e:+d}"


with open("polynomial10.lrg", "w") as out:
    out.write(f" {M} {N}\n")
    for row in F:
        out.write("".join(f" {v:.17g}" for v in row) + "\n")
    out.write(f" {M}\n" + "".join(f" {v:.17g}" for v in ys) + "\n 0\n")
with open("polynomial10.exact", "w") as out:
    out.write("# Exact least-squares solution of polynomial10.lrg (rational arithmetic), b1..b11\n")
    for value in b:
        out.write(decimal(value) + "\n")

"""The Dask anchor: out-of-core least squares by dask.array.linalg.lstsq (a tall-skinny QR).

    /usr/bin/python3 dask_lstsq.py FILE.csv

dask.dataframe.read_csv in blocks of 64 MB, to_dask_array(lengths=True) (one pass over the file to
count each block's rows), an intercept column of ones in front, then lstsq on the threaded
scheduler (its default: one worker a core), which reads the file a second time. Prints
"phase lengths SECONDS", "phase fit SECONDS", "blocks N" and one line "coefficient NAME VALUE"
per estimate (17 significant digits).
"""
import sys
import time

import dask.array as da
import dask.dataframe as dd

start = time.perf_counter()
frame = dd.read_csv(sys.argv[1], blocksize="64MB", dtype="float64")
names = [name for name in frame.columns if name != "y"]
table = frame[names + ["y"]].to_dask_array(lengths=True)
print(f"phase lengths {time.perf_counter() - start:.3f}", flush=True)

start = time.perf_counter()
ones = da.ones((table.shape[0], 1), chunks=(table.chunks[0], 1))
# lstsq wants the design in one block across its columns: its QR is over the row blocks.
design = da.concatenate([ones, table[:, :-1]], axis=1).rechunk({1: -1})
solution, _, _, _ = da.linalg.lstsq(design, table[:, -1])
coefficients = solution.compute()
print(f"phase fit {time.perf_counter() - start:.3f}")
print(f"blocks {len(table.chunks[0])}")
for name, value in zip(["(Intercept)"] + names, coefficients):
    print(f"coefficient {name} {value:.17g}")

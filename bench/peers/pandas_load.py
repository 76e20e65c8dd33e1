"""python3 pandas_load.py FILE: pandas read_csv with every column as a double, then every value
again for each column's minimum and maximum. Prints the rows and the seconds of both."""
import sys
import time

import pandas

start = time.perf_counter()
frame = pandas.read_csv(sys.argv[1], dtype="float64")
low = frame.min()
high = frame.max()
seconds = time.perf_counter() - start
assert len(low) == len(high) == frame.shape[1]
print(f"rows={len(frame)} seconds={seconds:.3f}")

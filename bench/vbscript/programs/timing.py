"""Runs main(size) of a benchmark program several times and prints the checksum it returns and
the best time of one run. Only the work is timed, not the interpreter's start-up.

usage: python3 PROGRAM.py SIZE REPETITIONS
"""
import sys
import time


def measure(main):
    size = int(sys.argv[1])
    repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    best = None
    checksum = None
    for _ in range(repetitions):
        start = time.perf_counter()
        checksum = main(size)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print("checksum", checksum)
    print("seconds", repr(best))

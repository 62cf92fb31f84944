# The arithmetic program over module-level (global) variables.
import math

from timing import measure

i = 0
total = 0
d = 0


def main(n):
    global i, total, d
    total = 0
    d = 0
    for i in range(1, n + 1):
        total = total + (i % 7) * 3 + i // 5
        if total > 1000000000:
            total = total % 1000003
        d = d + i / 4 - (i % 3) * 0.25
    return str(total) + " " + str(math.floor(d))


measure(main)

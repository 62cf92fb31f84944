# A dict: counts under 5,000 text keys with "in", indexing and insertion, then reads back.
from timing import measure


def main(n):
    d = {}
    for i in range(1, n + 1):
        key = "k" + str(i % 5000)
        if key in d:
            d[key] = d[key] + i % 7
        else:
            d[key] = i % 7
    total = len(d)
    for i in range(0, 5000):
        total = total + d["k" + str(i)]
    return total


measure(main)

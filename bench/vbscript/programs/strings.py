# String operations in a loop: slicing, replace, upper, find (+1 to count from 1 as InStr does).
from timing import measure


def main(n):
    s = "The quick brown fox jumps over the lazy dog"
    total = 0
    t = ""
    for i in range(1, n + 1):
        start = (i % 20) + 1
        t = s[start - 1:start - 1 + 12]
        t = t.replace("o", "0")
        t = t.upper()
        total = total + (t.find("0") + 1) + (s.find("o", start - 1) + 1) + len(t)
    return str(total) + " " + t


measure(main)

# Builds a page of table cells one appended piece at a time. "+=" is CPython's in-place append;
# the left-to-right form "s = s + a + b" copies the whole page for every piece.
from timing import measure


def main(n):
    kq_out = ""
    for x in range(1, n + 1):
        kq_out += "<td>" + str(x) + "</td>" + "\r\n"
    return str(len(kq_out)) + " " + kq_out[len(kq_out) - 16:len(kq_out) - 6]


measure(main)

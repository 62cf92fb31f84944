# Procedure calls: Python has no by-reference arguments, so the accumulator returns the new total.
from timing import measure


def fib(n):
    if n < 2:
        return n
    return fib(n - 1) + fib(n - 2)


def accumulate(total, value):
    return total + value


def mix(a, b):
    return (a * 31 + b) % 1009


def main(n):
    total = 0
    for i in range(1, n + 1):
        total = accumulate(total, mix(i, total))
    return total + fib(25)


measure(main)

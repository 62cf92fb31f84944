# The list program over module-level (global) variables.
from timing import measure

items = []
total = 0
grid = [[None] * 100 for _ in range(100)]


def main(n):
    global items, total
    items = [0]
    for i in range(1, n + 1):
        items.append(i % 1000)
    total = 0
    for i in range(0, len(items)):
        total = total + items[i]
    for pass_number in range(1, 11):
        for row in range(0, 100):
            for column in range(0, 100):
                grid[row][column] = (row * column + pass_number) % 17
        for row in range(0, 100):
            for column in range(0, 100):
                total = total + grid[row][column]
    return total


measure(main)

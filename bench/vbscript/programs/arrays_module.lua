-- The array program over global tables and totals.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

grid = {}
for row = 0, 99 do
    grid[row] = {}
end

function Main(n)
    items = {[0] = 0}
    for i = 1, n do
        items[i] = i % 1000
    end
    total = 0
    for i = 0, #items do
        total = total + items[i]
    end
    for pass = 1, 10 do
        for row = 0, 99 do
            for column = 0, 99 do
                grid[row][column] = (row * column + pass) % 17
            end
        end
        for row = 0, 99 do
            for column = 0, 99 do
                total = total + grid[row][column]
            end
        end
    end
    return total
end

timing.measure(Main)

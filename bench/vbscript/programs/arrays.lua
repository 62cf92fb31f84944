-- Tables as arrays: one grown an element at a time, then a table of tables filled and summed in
-- nested loops.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function main(n)
    local items = {[0] = 0}
    for i = 1, n do
        items[i] = i % 1000
    end
    local total = 0
    for i = 0, #items do
        total = total + items[i]
    end
    local grid = {}
    for row = 0, 99 do
        grid[row] = {}
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

timing.measure(main)

-- Procedure calls: Lua has no by-reference arguments, so the accumulator returns the new total.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function fib(n)
    if n < 2 then
        return n
    end
    return fib(n - 1) + fib(n - 2)
end

local function accumulate(total, value)
    return total + value
end

local function mix(a, b)
    return (a * 31 + b) % 1009
end

local function main(n)
    local total = 0
    for i = 1, n do
        total = accumulate(total, mix(i, total))
    end
    return total + fib(25)
end

timing.measure(main)

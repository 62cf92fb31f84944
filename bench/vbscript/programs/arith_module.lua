-- The arithmetic program over global variables. A numeric for's counter is always local in Lua,
-- so the loop copies it to a global as the other programs' counters are.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

function Main(n)
    total = 0
    d = 0
    for counter = 1, n do
        i = counter
        total = total + (i % 7) * 3 + i // 5
        if total > 1000000000 then
            total = total % 1000003
        end
        d = d + i / 4 - (i % 3) * 0.25
    end
    return tostring(total) .. " " .. tostring(math.floor(d))
end

timing.measure(Main)

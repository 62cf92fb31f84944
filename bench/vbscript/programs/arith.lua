-- Integer and floating-point arithmetic in a loop: modulo, integer division, division, mixed types.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function main(n)
    local total = 0
    local d = 0
    for i = 1, n do
        total = total + (i % 7) * 3 + i // 5
        if total > 1000000000 then
            total = total % 1000003
        end
        d = d + i / 4 - (i % 3) * 0.25
    end
    return tostring(total) .. " " .. tostring(math.floor(d))
end

timing.measure(main)

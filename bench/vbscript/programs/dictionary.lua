-- A table of text keys: counts under 5,000 keys with a lookup, indexing and insertion, then reads
-- back.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function main(n)
    local d = {}
    local count = 0
    for i = 1, n do
        local key = "k" .. (i % 5000)
        local value = d[key]
        if value ~= nil then
            d[key] = value + i % 7
        else
            d[key] = i % 7
            count = count + 1
        end
    end
    local total = count
    for i = 0, 4999 do
        total = total + d["k" .. i]
    end
    return total
end

timing.measure(main)

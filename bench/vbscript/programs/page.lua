-- Builds a page of table cells one appended piece at a time. Lua strings are immutable, so the
-- pieces go to a table joined once at the end, the idiomatic buffer.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function main(n)
    local pieces = {}
    for x = 1, n do
        pieces[#pieces + 1] = "<td>" .. x .. "</td>" .. "\r\n"
    end
    local out = table.concat(pieces)
    return tostring(#out) .. " " .. string.sub(out, #out - 15, #out - 6)
end

timing.measure(main)

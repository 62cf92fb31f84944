-- String operations in a loop: sub, plain gsub, upper, plain find (0 when absent, as InStr).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local timing = require("timing")

local function main(n)
    local s = "The quick brown fox jumps over the lazy dog"
    local total = 0
    local t = ""
    for i = 1, n do
        local start = (i % 20) + 1
        t = string.sub(s, start, start + 11)
        t = string.gsub(t, "o", "0")
        t = string.upper(t)
        total = total + (string.find(t, "0", 1, true) or 0) + (string.find(s, "o", start, true) or 0) + #t
    end
    return tostring(total) .. " " .. t
end

timing.measure(main)

-- Runs main(size) of a benchmark program several times and prints the checksum it returns and
-- the best time of one run. Only the work is timed, not the interpreter's start-up.
--
-- usage: lua5.4 PROGRAM.lua SIZE REPETITIONS
local timing = {}

function timing.measure(main)
    local size = math.tointeger(tonumber(arg[1]))
    local repetitions = math.tointeger(tonumber(arg[2] or "5"))
    local best, checksum
    for _ = 1, repetitions do
        local start = os.clock()
        checksum = main(size)
        local elapsed = os.clock() - start
        if best == nil or elapsed < best then
            best = elapsed
        end
    end
    print("checksum " .. tostring(checksum))
    print(string.format("seconds %.17g", best))
end

return timing

#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace qv::dao::internal {

/// How work run in a child process ended.
struct ChildOutcome {
    enum class Kind {
        Finished, // the work returned and the process exited normally
        Crashed,  // killed by a signal (a fault, an abort) or exited on its own with a failure
        TimedOut, // still running when the time ran out; it was killed
    };
    Kind kind = Kind::Finished;
    std::string output; // what the work returned, as far as it arrived
    int signal = 0;     // the signal that ended a crashed process, 0 for none
};

/// Runs `work` in a forked copy of this process and returns what it returned. Whatever the
/// work does to itself (a fault, abort(), exit(), an endless loop) cannot reach the caller:
/// the copy's standard output and error go to /dev/null, it leaves with _exit, and it is
/// killed when `timeout` passes. An exception the work lets out ends the copy as a crash.
/// `memoryLimit` (0: none) caps how much address space the copy may add to what it inherits:
/// past it, allocations fail (std::bad_alloc, or an abort in C code), so a runaway never takes the
/// machine's memory while the clock runs.
///
/// The copy has one thread. When another thread of the caller holds a lock the work needs
/// (the allocator is safe: glibc resets it), the copy waits until the timeout kills it.
/// Raises automation::Error when no process can be started.
ChildOutcome RunInChildProcess(const std::function<std::string()>& work, std::chrono::milliseconds timeout,
                               std::size_t memoryLimit = 0);

/// False in a build under AddressSanitizer, which maps its own shadow and quarantine memory as
/// it goes: there an address-space cap would fail sound work, so only the time-out applies.
bool MemoryLimitApplies() noexcept;

} // namespace qv::dao::internal

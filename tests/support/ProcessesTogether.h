#pragma once

#include <functional>

namespace qv::test {

/// Runs `work` in `count` child processes made by fork, which all start it at the same moment:
/// each waits until the last one has been made. Gives the number of children that failed: whose
/// `work` returned false or threw, or that did not exit normally. For tests of what processes
/// sharing a file do to each other; the children leave through _exit, so nothing of the test
/// program (its fixtures, its output) runs twice.
int RunInProcessesTogether(int count, const std::function<bool(int index)>& work);

/// Runs `child` in a process made by fork. The child calls the `pause` it is given while it holds
/// what the test is about (a lock, a file not yet renamed); this process runs `meanwhile` then,
/// and the child goes on once that has returned. Gives whether the child paused, `child` returned
/// true and the child exited normally. `meanwhile` does not run when the child never paused.
bool WhileAChildPauses(const std::function<bool(const std::function<void()>& pause)>& child,
                       const std::function<void()>& meanwhile);

} // namespace qv::test

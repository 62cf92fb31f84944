#pragma once

#include <functional>

namespace qv::test {

/// Runs `work` in `count` child processes made by fork, which all start it at the same moment:
/// each waits until the last one has been made. Gives the number of children that failed: whose
/// `work` returned false or threw, or that did not exit normally. For tests of what processes
/// sharing a file do to each other; the children leave through _exit, so nothing of the test
/// program (its fixtures, its output) runs twice.
int RunInProcessesTogether(int count, const std::function<bool(int index)>& work);

} // namespace qv::test

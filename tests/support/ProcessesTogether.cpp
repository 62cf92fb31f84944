#include "support/ProcessesTogether.h"

#include <sys/wait.h>
#include <unistd.h>

#include <exception>
#include <vector>

namespace qv::test {

int RunInProcessesTogether(int count, const std::function<bool(int index)>& work) {
    // The children wait on a pipe whose writing end closes once every child exists.
    int start[2];
    if (::pipe(start) != 0) {
        return count;
    }
    std::vector<pid_t> children;
    for (int index = 0; index < count; ++index) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(start[1]);
            char ignored = 0;
            (void)!::read(start[0], &ignored, 1);
            bool succeeded = false;
            try {
                succeeded = work(index);
            } catch (const std::exception&) {
                succeeded = false;
            }
            ::_exit(succeeded ? 0 : 1);
        }
        if (child > 0) {
            children.push_back(child);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    int failed = count - static_cast<int>(children.size());
    for (const pid_t child : children) {
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++failed;
        }
    }
    return failed;
}

} // namespace qv::test

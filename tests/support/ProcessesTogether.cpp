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

bool WhileAChildPauses(const std::function<bool(const std::function<void()>& pause)>& child,
                       const std::function<void()>& meanwhile) {
    int toParent[2];
    int toChild[2];
    if (::pipe(toParent) != 0) {
        return false;
    }
    if (::pipe(toChild) != 0) {
        ::close(toParent[0]);
        ::close(toParent[1]);
        return false;
    }
    const pid_t process = ::fork();
    if (process == 0) {
        ::close(toParent[0]);
        ::close(toChild[1]);
        const auto pause = [&] {
            char signal = 'p';
            (void)!::write(toParent[1], &signal, 1);
            (void)!::read(toChild[0], &signal, 1);
        };
        bool succeeded = false;
        try {
            succeeded = child(pause);
        } catch (const std::exception&) {
            succeeded = false;
        }
        ::_exit(succeeded ? 0 : 1);
    }
    ::close(toParent[1]);
    ::close(toChild[0]);
    // A child that ends without pausing closes its end, and the read sees the end of the pipe.
    char signal = 0;
    const bool paused = process > 0 && ::read(toParent[0], &signal, 1) == 1;
    if (paused) {
        meanwhile();
    }
    ::close(toChild[1]);
    ::close(toParent[0]);
    int status = 0;
    return paused && ::waitpid(process, &status, 0) == process && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace qv::test

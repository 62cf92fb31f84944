#include "platform/dao/internal/ChildProcess.h"

#include "platform/automation/Error.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_ADDRESS_SANITIZER 1
#endif
#endif

namespace qv::dao::internal {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The address space this process has mapped now, in bytes; 0 when it cannot be read.
std::size_t MappedBytes() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) {
        return 0;
    }
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return read && pageSize > 0 ? pages * static_cast<std::size_t>(pageSize) : 0;
}

// Caps the address space at what is mapped now plus `allowance`: the copy inherits the parent's
// mappings (under a sanitizer, terabytes of reserved shadow), so a fixed total would not do.
void LimitMemory(std::size_t allowance) {
    if (allowance == 0 || !MemoryLimitApplies()) {
        return;
    }
    const std::size_t mapped = MappedBytes();
    if (mapped == 0) {
        return;
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0) {
        return;
    }
    const rlim_t wanted = static_cast<rlim_t>(mapped + allowance);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted) {
        return; // already stricter than this
    }
    limit.rlim_cur = wanted;
    ::setrlimit(RLIMIT_AS, &limit);
}

[[noreturn]] void RunChild(const std::function<std::string()>& work, int output, std::size_t memoryLimit) {
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) {
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
    }
    LimitMemory(memoryLimit);
    const std::string bytes = work();
    const bool written = WriteAll(output, bytes);
    // _exit: the copy must not run the parent's exit handlers or flush its stdio buffers.
    ::_exit(written ? 0 : 1);
}

void Close(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Waits for the child; false when it is not ours to wait for (SIGCHLD ignored by the host).
bool Reap(pid_t child, int& status) {
    for (;;) {
        if (::waitpid(child, &status, 0) == child) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace

bool MemoryLimitApplies() noexcept {
#ifdef QV_ADDRESS_SANITIZER
    return false;
#else
    return true;
#endif
}

ChildOutcome RunInChildProcess(const std::function<std::string()>& work, std::chrono::milliseconds timeout,
                               std::size_t memoryLimit) {
    std::array<int, 2> pipe{-1, -1};
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        automation::Raise(automation::ErrorNumber::OutOfMemory, u"DAO.Database",
                          u"Cannot start the database reader: no pipe can be made.");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        Close(pipe[0]);
        Close(pipe[1]);
        automation::Raise(automation::ErrorNumber::OutOfMemory, u"DAO.Database",
                          u"Cannot start the database reader: no process can be made.");
    }
    if (child == 0) {
        ::close(pipe[0]);
        RunChild(work, pipe[1], memoryLimit);
    }
    Close(pipe[1]);

    ChildOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 65536> buffer;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            outcome.kind = ChildOutcome::Kind::TimedOut;
            break;
        }
        pollfd waiting{pipe[0], POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) {
            outcome.kind = ChildOutcome::Kind::Crashed;
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = ::read(pipe[0], buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break; // the child closed its end: it has finished or died
        }
        outcome.output.append(buffer.data(), static_cast<std::size_t>(got));
    }
    Close(pipe[0]);
    if (outcome.kind == ChildOutcome::Kind::TimedOut) {
        ::kill(child, SIGKILL);
    }
    int status = 0;
    if (!Reap(child, status)) {
        return outcome; // the host reaps children itself; the output alone must tell
    }
    if (outcome.kind == ChildOutcome::Kind::TimedOut) {
        return outcome;
    }
    if (WIFSIGNALED(status)) {
        outcome.kind = ChildOutcome::Kind::Crashed;
        outcome.signal = WTERMSIG(status);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        outcome.kind = ChildOutcome::Kind::Crashed;
    }
    return outcome;
}

} // namespace qv::dao::internal

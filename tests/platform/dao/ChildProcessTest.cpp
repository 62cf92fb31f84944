#include "platform/dao/internal/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace qv::dao::internal {
namespace {

using namespace std::chrono_literals;

// A time limit that only work that never ends reaches. Work that ends, however busy the machine
// (a sanitizer's report of a deliberate fault takes a while), is never cut short by it.
constexpr auto GenerousLimit = 60s;

TEST(ChildProcess, HandsBackWhatTheWorkReturns) {
    std::string big(300000, 'x'); // more than a pipe holds at once
    const ChildOutcome outcome = RunInChildProcess(
        [&] {
            std::puts("noise on standard output stays in the child");
            return big;
        },
        GenerousLimit);
    EXPECT_EQ(outcome.kind, ChildOutcome::Kind::Finished);
    EXPECT_EQ(outcome.output, big);
}

TEST(ChildProcess, WhatEndsTheWorkNeverReachesTheCaller) {
    // Work that ends gets a limit it never reaches, the endless loop a short one that it always
    // reaches: a sanitizer takes a while to report a deliberate fault, on a busy machine longer
    // than a short limit, and the crash read as timed out.
    struct Case {
        const char* what;
        std::function<std::string()> work;
        std::chrono::milliseconds timeout;
        ChildOutcome::Kind kind;
        int signal; // -1: any
    };
    const Case cases[] = {
        {"a fault",
         [] {
             std::raise(SIGSEGV);
             return std::string("unreached");
         },
         GenerousLimit, ChildOutcome::Kind::Crashed, -1}, // a sanitizer turns the fault into an exit
        {"an abort", []() -> std::string { std::abort(); }, GenerousLimit, ChildOutcome::Kind::Crashed,
         SIGABRT},
        {"an exit", []() -> std::string { std::exit(1); }, GenerousLimit, ChildOutcome::Kind::Crashed, 0},
        {"an endless loop",
         []() -> std::string {
             for (volatile bool forever = true; forever;) {
             }
             return {};
         },
         300ms, ChildOutcome::Kind::TimedOut, 0},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const ChildOutcome outcome = RunInChildProcess(expected.work, expected.timeout);
        EXPECT_EQ(outcome.kind, expected.kind);
        if (expected.signal >= 0) {
            EXPECT_EQ(outcome.signal, expected.signal);
        }
    }
}

// Address space is what the limit counts, so the blocks are never touched: if the limit failed,
// the work would take 2 GB of address space but no memory.
TEST(ChildProcess, WorkThatAllocatesPastTheMemoryLimitFailsQuickly) {
    const auto work = [] {
        std::vector<std::unique_ptr<char[]>> blocks;
        try {
            for (int block = 0; block < 64; ++block) {
                blocks.emplace_back(new char[32 << 20]);
            }
        } catch (const std::bad_alloc&) {
            return std::string("refused after ") + std::to_string(blocks.size() * 32) + " MB";
        }
        return std::string("allocated 2 GB");
    };
    const ChildOutcome unlimited = RunInChildProcess(work, GenerousLimit);
    EXPECT_EQ(unlimited.kind, ChildOutcome::Kind::Finished);
    EXPECT_EQ(unlimited.output, "allocated 2 GB");
    if (!MemoryLimitApplies()) {
        GTEST_SKIP() << "no memory limit under AddressSanitizer";
    }
    const ChildOutcome limited = RunInChildProcess(work, GenerousLimit, std::size_t{256} << 20);
    EXPECT_EQ(limited.kind, ChildOutcome::Kind::Finished);
    EXPECT_EQ(limited.output.rfind("refused after ", 0), 0U) << limited.output;
}

} // namespace
} // namespace qv::dao::internal

#include "platform/dao/internal/ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace qv::dao::internal {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcess, HandsBackWhatTheWorkReturns) {
    std::string big(300000, 'x'); // more than a pipe holds at once
    const ChildOutcome outcome = RunInChildProcess(
        [&] {
            std::puts("noise on standard output stays in the child");
            return big;
        },
        10s);
    EXPECT_EQ(outcome.kind, ChildOutcome::Kind::Finished);
    EXPECT_EQ(outcome.output, big);
}

TEST(ChildProcess, WhatEndsTheWorkNeverReachesTheCaller) {
    struct Case {
        const char* what;
        std::function<std::string()> work;
        ChildOutcome::Kind kind;
        int signal; // -1: any
    };
    const Case cases[] = {
        {"a fault",
         [] {
             std::raise(SIGSEGV);
             return std::string("unreached");
         },
         ChildOutcome::Kind::Crashed, -1}, // a sanitizer turns the fault into an exit
        {"an abort", []() -> std::string { std::abort(); }, ChildOutcome::Kind::Crashed, SIGABRT},
        {"an exit", []() -> std::string { std::exit(1); }, ChildOutcome::Kind::Crashed, 0},
        {"an endless loop",
         []() -> std::string {
             for (volatile bool forever = true; forever;) {
             }
             return {};
         },
         ChildOutcome::Kind::TimedOut, 0},
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.what);
        const ChildOutcome outcome = RunInChildProcess(expected.work, 300ms);
        EXPECT_EQ(outcome.kind, expected.kind);
        if (expected.signal >= 0) {
            EXPECT_EQ(outcome.signal, expected.signal);
        }
    }
}

} // namespace
} // namespace qv::dao::internal

// libFuzzer target: scripts built from the fuzzer's bytes out of the kinds of work that have
// escaped the engine's bounds before (loops, Execute, ExecuteGlobal and Eval, classes with
// Class_Terminate, many such objects released by one statement in each way there is, deep
// recursion with many locals or through an operator's general path, long statements, RegExp,
// strings, arrays, dictionaries), each run under a short time-out and a small memory ceiling. A
// run fails (abort) when it goes on 1.5 s past its time-out, or when the process grows by more
// than twice the ceiling; a watcher thread reads both while the script runs, so that a run that
// never ends is caught too.
//
// What is measured is what the process really holds, the resident size from /proc/self/statm,
// never the engine's own account. This build runs under AddressSanitizer, whose shadow, redzones
// and quarantine the process holds besides: the growth over the resident size at the start of
// each run is measured, not the total, and the quarantine is kept small. The time is the running
// thread's CPU time, which a busy machine cannot stretch as it does the wall clock.

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Error.h"
#include "platform/automation/Text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

// NOLINTNEXTLINE(bugprone-reserved-identifier): the sanitizer runtime looks for this name
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

namespace {

constexpr int TimeoutMs = 300;
constexpr long CeilingMb = 64;
constexpr long OverrunMs = 1500;

long ResidentKb() {
    const int file = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return 0;
    }
    char text[128] = {};
    const ssize_t count = read(file, text, sizeof(text) - 1);
    close(file);
    if (count <= 0) {
        return 0;
    }
    long pages = 0;
    long resident = 0;
    if (std::sscanf(text, "%ld %ld", &pages, &resident) != 2) {
        return 0;
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long CpuMs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/// Watches each run from a thread of its own, started once: the run's thread CPU time and the
/// process's resident growth.
class Watcher {
public:
    Watcher() {
        pthread_getcpuclockid(pthread_self(), &mClock);
        std::thread([this] { Watch(); }).detach();
    }
    void Start(const std::string& script) {
        mScript = &script;
        mStartKb.store(ResidentKb());
        mStartMs.store(CpuMs(mClock));
        mRunning.store(true);
    }
    void Stop() {
        Check(); // the last look, for a run shorter than the watcher's period
        mRunning.store(false);
    }

private:
    void Watch() {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (mRunning.load()) {
                Check();
            }
        }
    }
    void Check() {
        const long grownKb = ResidentKb() - mStartKb.load();
        const long spentMs = CpuMs(mClock) - mStartMs.load();
        if (grownKb > 2 * CeilingMb * 1024) {
            Fail("the process grew by %ld KB, more than twice the ceiling", grownKb);
        }
        if (spentMs > TimeoutMs + OverrunMs) {
            Fail("the run went on for %ld ms of CPU time, 1.5 s past its time-out", spentMs);
        }
    }
    [[noreturn]] void Fail(const char* format, long figure) {
        std::fprintf(stderr, "==== bounds fuzzer: ");
        std::fprintf(stderr, format, figure); // NOLINT(cert-err33-c): a message on the way to abort
        // The start of the script here (a long one runs to megabytes), all of it in a file.
        std::fprintf(stderr, "\n==== script (%zu characters, all in bounds-failure.vbs):\n%.4000s\n",
                     mScript->size(), mScript->c_str());
        const int file = open("bounds-failure.vbs", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file >= 0) {
            const ssize_t written = write(file, mScript->data(), mScript->size());
            static_cast<void>(written);
            close(file);
        }
        std::abort();
    }

    clockid_t mClock{};
    const std::string* mScript = nullptr;
    std::atomic<long> mStartKb{0};
    std::atomic<long> mStartMs{0};
    std::atomic<bool> mRunning{false};
};

/// Builds the script: a few classes with Class_Terminate, a few recursive functions with many
/// locals, then statements nested in loops.
class ScriptBuilder {
public:
    explicit ScriptBuilder(FuzzedDataProvider& input) : mInput(input) {}

    std::string Build() {
        mText = "Dim s, a, d, re, o, m, x, k\nReDim a(0)\ns = \"ab\"\n"
                "Set d = CreateObject(\"Scripting.Dictionary\")\nSet re = New RegExp\n";
        if (mInput.ConsumeBool()) {
            mText += "On Error Resume Next\n";
        }
        const int classes = mInput.ConsumeIntegralInRange(0, 2);
        for (int index = 0; index < classes; ++index) {
            mText += "Class T" + std::to_string(index) + "\nPublic f, g, h\nSub Class_Terminate()\n";
            Statements(2);
            mText += "End Sub\nEnd Class\n";
        }
        mClasses = classes;
        const int functions = mInput.ConsumeIntegralInRange(0, 2);
        for (int index = 0; index < functions; ++index) {
            const std::string name = "R" + std::to_string(index);
            mText += "Function " + name + "(n)\nDim l0";
            const int locals = Size({1, 50, 5000, 60000});
            for (int local = 1; local < locals; ++local) {
                mText += ", l" + std::to_string(local);
            }
            mText += "\nl0 = s\nIf n > 0 Then ";
            mText.append(name).append(" = ").append(name).append("(n - 1)\nEnd Function\n");
        }
        mFunctions = functions;
        if (mClasses > 0) {
            // Fills an array with objects, which a procedure's end releases all at once.
            mText +=
                "Sub Fill(list, n)\nReDim list(n)\nFor j = 0 To n : Set list(j) = New T0 : Next\nEnd Sub\n"
                "Sub FillAndLeave(n)\nDim mine\nFill mine, n\nEnd Sub\n";
        }
        // Recursion without end: its comparison takes the operator's general path.
        mText += "Function Down(n)\nDown zz = n\nEnd Function\n";
        Statements(0);
        return mText;
    }

private:
    int Size(std::initializer_list<int> sizes) {
        return *(sizes.begin() + mInput.ConsumeIntegralInRange<std::size_t>(0, sizes.size() - 1));
    }
    std::string Count() { return std::to_string(Size({2, 100, 10000, 1000000, 100000000})); }
    /// Terms of a long statement: enough for seconds of work over a long string, not so many that
    /// the sanitizers' own cost of building and freeing them passes the margin.
    std::string Terms() { return std::to_string(Size({10, 400, 3000, 20000})); }

    void Statements(int depth) {
        const int count = mInput.ConsumeIntegralInRange(1, 4);
        for (int index = 0; index < count && mInput.remaining_bytes() > 0; ++index) {
            Statement(depth);
        }
    }

    void Statement(int depth) {
        const std::string n = Count();
        switch (mInput.ConsumeIntegralInRange(0, depth < 3 ? 11 : 9)) {
        case 0:
            mText += "s = s & s\n";
            break;
        case 1:
            mText +=
                Pick({"s = String(" + n + ", \"a\")\n", "s = Replace(s, \"a\", \"ab\")\n",
                      "x = InStr(s, \"z\")\n", "a(UBound(a)) = \"a\" & k\n", "s = Space(" + n + ") & s\n"});
            break;
        case 2:
            mText += Pick({"ReDim Preserve a(UBound(a) + " + n + ")\n", "a(UBound(a)) = Array(a, s)\n",
                           "x = Join(a, s)\n", "x = Split(s, \"a\")\n", "a = Array(a)\n"});
            break;
        case 3:
            mText += Pick({"d.Add \"k\" & d.Count, s\n", "d(d.Count) = Array(k, s)\n", "x = d.Keys\n",
                           "Set d(\"o\" & k) = CreateObject(\"Scripting.Dictionary\")\n"});
            break;
        case 4:
            mText +=
                Pick({"Execute \"Class D\" & k & \" : Public a : End Class\"\n",
                      "ExecuteGlobal \"Dim v\" & k\n", "Execute \"Dim w\" & k\n", "x = Eval(\"k + \" & k)\n",
                      "ExecuteGlobal \"Function F\" & k & \"(n) : F\" & k & \" = n : End Function\"\n",
                      "Execute s\n"});
            break;
        case 5:
            // A long statement of calls that each do work, built and run at once.
            mText += Pick(
                {"Execute \"x = 0\" & Replace(Space(" + Terms() + "), \" \", \" + InStr(s, \"\"b\"\")\")\n",
                 "x = Eval(\"0\" & Replace(Space(" + Terms() + "), \" \", \" + Len(s)\"))\n"});
            break;
        case 6:
            mText += "re.Pattern = \"" +
                     Pick({"a*a*a*\\d", "(a|aa)*b", "a+", "(\\w+)\\s", ".", "(a*)*$", "b"}) + "\"\n" +
                     Pick({"re.Global = True\n", "re.IgnoreCase = True\n", ""}) +
                     Pick({"x = re.Test(String(" + n + ", \"a\"))\n", "Set m = re.Execute(s)\n",
                           "s = re.Replace(s, \"bb\")\n", "x = re.Test(s)\n"});
            break;
        case 7:
            if (mClasses > 0) {
                const std::string cls = "T" + std::to_string(mInput.ConsumeIntegralInRange(0, mClasses - 1));
                mText += Pick({"Set o = New " + cls + "\n", "Set a(UBound(a)) = New " + cls + "\n",
                               "Set x = New " + cls + " : x.f = s : Set x.g = o : Set o = x\n",
                               "Set o = Nothing\n"});
                // Many objects released by one statement, each way there is.
                const std::string many = std::to_string(Size({100, 2500, 20000}));
                mText += Pick({"Fill a, " + many + " : Erase a\n", "Fill a, " + many + " : a = Empty\n",
                               "Fill a, " + many + " : ReDim a(0)\n",
                               "Fill a, " + many + " : ReDim Preserve a(0) : x = k\n",
                               "For j = 0 To " + many + " : d.Add \"t\" & j, New T0 : Next : d.RemoveAll\n",
                               "FillAndLeave " + many + "\n", "Fill m, " + many + "\n"});
            }
            break;
        case 8:
            if (mFunctions > 0) {
                mText += "x = R" + std::to_string(mInput.ConsumeIntegralInRange(0, mFunctions - 1)) + "(" +
                         std::to_string(Size({1, 100, 1000, 5000})) + ")\n";
            } else {
                mText += "x = Down(1)\n";
            }
            break;
        case 9:
            mText += "k = k + 1\n";
            break;
        case 10:
            mText += "For i" + std::to_string(depth) + " = 1 To " + n + "\nk = k + 1\n";
            Statements(depth + 1);
            mText += "Next\n";
            break;
        default:
            mText += "Do\nk = k + 1\n";
            Statements(depth + 1);
            mText += "Loop\n";
            break;
        }
    }

    std::string Pick(std::initializer_list<std::string> choices) {
        return *(choices.begin() + mInput.ConsumeIntegralInRange<std::size_t>(0, choices.size() - 1));
    }

    FuzzedDataProvider& mInput;
    std::string mText;
    int mClasses = 0;
    int mFunctions = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Watcher watcher;
    FuzzedDataProvider input(data, size);
    const std::string script = ScriptBuilder(input).Build();
    const std::u16string text = qv::automation::FromUtf8(script);
    watcher.Start(script);
    {
        // The control's end (Class_Terminate of what the script still holds) is part of the run.
        qv::vbscript::ScriptControl control;
        control.SetTimeout(TimeoutMs);
        control.SetMemoryCeiling(std::size_t{CeilingMb} << 20);
        try {
            control.AddCode(u"Global", text);
        } catch (const qv::automation::Error&) {
        }
    }
    watcher.Stop();
    return 0;
}

// libFuzzer target: script text far larger than the fuzzer's inputs, for what only large text
// shows: a pass of the compile that compares each name with every other, or reads a line of a
// hundred million characters without a look at the clock. An input is text with repeats in it:
//
//   \x01 <count, two bytes, low first> body \x02   the body <count> times; in it
//   \x03                                          the number of the repeat (0, 1, 2, ...)
//
// so that "Sub S(\x01\x60\xEAp\x03, \x02q)" is a procedure of 60,000 parameters. Repeats nest
// (a repeat's numbers are its own: those of the repeats in its body are filled in first); the text
// is cut at a million characters.
//
// Each text is compiled first as it is, without a time-out: the compile's CPU time must stay within
// a bound linear in the length of the text (a pass that grows with its square passes it long before
// the text is a million characters). Then the script control adds it under a short time-out and
// a memory ceiling: compiling and running it must end within 1.5 s of CPU time past the time-out.
// The times are the thread's CPU time, which a busy machine cannot stretch as it does the wall
// clock; the bounds leave room for the sanitizers of this build.

#include "platform/vbscript/ScriptControl.h"
#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Compiler.h"
#include "platform/vbscript/internal/Parser.h"

#include "platform/automation/Error.h"
#include "platform/automation/Memory.h"
#include "platform/automation/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

namespace {

using namespace qv;

constexpr std::size_t MaxLength = std::size_t{1} << 20;
constexpr int MaxNesting = 3;
constexpr long TimeoutMs = 100;
constexpr long OverrunMs = 1500;
// The compile's bound: a fixed part and a part per character, some fifteen times what a linear
// compile of the slowest kinds of text (long lists of expressions) takes in this build. A pass that
// compares each name with every earlier one passes it from some 30,000 names on.
constexpr long FixedMs = 300;
constexpr double MsPerUnit = 0.01;

/// Expands `input` from `at` to the end of the body that `at` is in (or of the input) into `out`,
/// at most MaxLength characters of it, and returns where it stopped. A body is expanded once, its
/// own repeats with it, and then copied as often as its repeat says.
std::size_t Expand(std::string_view input, std::size_t at, int depth, std::string& out) {
    while (at < input.size()) {
        const char c = input[at];
        if (c == '\x02' && depth > 0) {
            return at + 1;
        }
        if (c != '\x01' || depth == MaxNesting || at + 2 >= input.size()) {
            if (out.size() < MaxLength) {
                out.push_back(c);
            }
            ++at;
            continue;
        }
        const auto count = static_cast<std::size_t>(static_cast<unsigned char>(input[at + 1]) |
                                                    (static_cast<unsigned char>(input[at + 2]) << 8));
        std::string body;
        at = Expand(input, at + 3, depth + 1, body);
        for (std::size_t index = 0; index < count && out.size() < MaxLength; ++index) {
            // The number of the repeat stands for each \x03 of the body.
            const std::string number = std::to_string(index);
            for (const char unit : body) {
                if (unit == '\x03') {
                    out += number;
                } else {
                    out.push_back(unit);
                }
            }
        }
        if (out.size() > MaxLength) {
            out.resize(MaxLength);
        }
    }
    return at;
}

long CpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

[[noreturn]] void Fail(const char* what, long spentMs, long boundMs, const std::string& script) {
    std::fprintf(stderr, "==== compile fuzzer: %s took %ld ms of CPU time, past its bound of %ld ms\n", what,
                 spentMs, boundMs);
    std::fprintf(stderr, "==== script (%zu characters), its start:\n%.2000s\n", script.size(),
                 script.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string script;
    Expand(std::string_view(reinterpret_cast<const char*>(data), size), 0, 0, script);
    const std::u16string text = automation::FromUtf8(script);

    // The compile alone, in time linear in the text.
    {
        automation::MemoryCeilingScope ceiling(std::size_t{1} << 30);
        const long bound = FixedMs + static_cast<long>(MsPerUnit * static_cast<double>(text.size()));
        const long start = CpuMs();
        try {
            auto source = automation::MakeRef<vbscript::SourceText>(text);
            static const vbscript::BuiltinRegistry builtins;
            auto names = automation::MakeRef<vbscript::NameTable>();
            vbscript::Module global(u"Global");
            vbscript::library::ResultMeter treeCharge;
            vbscript::Parser parser(source->Text(), &treeCharge);
            vbscript::Program program = parser.ParseProgram();
            vbscript::Compiler compiler(vbscript::CompileTarget{*names, builtins, global, global}, source);
            compiler.CompileChunk(program);
        } catch (const vbscript::CompileError&) {
        } catch (const automation::Error&) {
            // 7: the text's tree or code does not fit under the ceiling.
        }
        const long spent = CpuMs() - start;
        if (spent > bound) {
            Fail("the compile", spent, bound, script);
        }
    }

    // Compiled and run by the script control, within the time-out.
    const long start = CpuMs();
    {
        vbscript::ScriptControl control;
        control.SetTimeout(TimeoutMs);
        control.SetMemoryCeiling(std::size_t{256} << 20);
        try {
            control.AddCode(u"Global", text);
        } catch (const automation::Error&) {
        }
    }
    const long spent = CpuMs() - start;
    if (spent > TimeoutMs + OverrunMs) {
        Fail("the run", spent, TimeoutMs + OverrunMs, script);
    }
    return 0;
}

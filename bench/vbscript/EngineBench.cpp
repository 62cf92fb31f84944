// Runs each VBScript program of programs/ through the script control, its Python equivalent
// through python3 and, where there is one, its Lua equivalent through lua5.4 in the same run, and
// prints the time ratios VBScript / CPython and VBScript / Lua (below 1: the engine is faster).
// Every side returns a checksum of its work, compared here, so the programs provably do the same
// thing. The "_module" programs keep their variables at module level (globals in the others). Only the work
// is timed: the script is compiled before the clock starts, and the Python and Lua programs time their own
// loops, without the interpreter's start-up. Each side reports its best run; the two sides take turns in
// rounds.
//
// The page program also runs with 100,000, 200,000 and 400,000 appended pieces, and the regexp
// program over subjects of 100,000 to 1,000,000 characters; the time per piece relative to the
// smallest size shows whether the work grows linearly.
//
// usage: vbscript_bench [--runs N] [--rounds N] [--only PROGRAM] [--no-python] [--no-lua]
//                      [--programs DIR]

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using qv::automation::ClassInfo;
using qv::automation::MakeRef;
using qv::automation::Object;
using qv::automation::Variant;

/// The host object of the host program: a table with a name, fields by index and a read/write
/// counter, called late-bound like every object the host gives to scripts.
class Table final : public Object {
public:
    const ClassInfo& GetClassInfo() const override {
        static const ClassInfo info(u"Table",
                                    {
                                        qv::automation::Method<&Table::Name>(u"Name"),
                                        qv::automation::Method<&Table::FieldCount>(u"FieldCount"),
                                        qv::automation::Method<&Table::Fields>(u"Fields"),
                                        qv::automation::Property<&Table::Hits, &Table::SetHits>(u"Hits"),
                                    });
        return info;
    }
    std::u16string Name() const { return mName; }
    std::int32_t FieldCount() const { return static_cast<std::int32_t>(mFields.size()); }
    std::u16string Fields(std::int32_t index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= mFields.size()) {
            qv::automation::Raise(qv::automation::ErrorNumber::SubscriptOutOfRange);
        }
        return mFields[static_cast<std::size_t>(index)];
    }
    std::int32_t Hits() const { return mHits; }
    void SetHits(std::int32_t value) { mHits = value; }

private:
    std::u16string mName = u"Orders";
    std::vector<std::u16string> mFields = {u"OrderID", u"CustomerID", u"OrderDate", u"ShipName", u"Freight"};
    std::int32_t mHits = 0;
};

/// One measured run: the checksum the program returned and its best time, or why it failed.
struct Measure {
    std::string checksum;
    double seconds = 0;
    std::string failure;

    bool Failed() const { return !failure.empty(); }
};

struct Program {
    const char* name;
    std::int32_t size;
    const char* what;
};

// Sizes give each program some tens of milliseconds under CPython.
constexpr std::array Programs{
    Program{"page", 100000, "appended pieces"},
    Program{"page", 200000, "appended pieces"},
    Program{"page", 400000, "appended pieces"},
    Program{"arith", 1000000, "iterations"},
    Program{"arith_module", 1000000, "iterations"},
    Program{"calls", 500000, "iterations + fib(25)"},
    Program{"host", 400000, "iterations"},
    Program{"arrays", 300000, "elements + 10 x 100 x 100"},
    Program{"arrays_module", 300000, "elements + 10 x 100 x 100"},
    Program{"dictionary", 400000, "updates"},
    Program{"strings", 200000, "iterations"},
    Program{"regexp", 100000, "characters"},
    Program{"regexp", 250000, "characters"},
    Program{"regexp", 500000, "characters"},
    Program{"regexp", 1000000, "characters"},
};

std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A program compiled once into its own script control, run as often as asked.
class ScriptRunner {
public:
    explicit ScriptRunner(const std::string& path) {
        const std::optional<std::string> code = ReadFile(path);
        if (!code) {
            mMeasure.failure = "cannot read " + path;
            return;
        }
        mControl.AddObject(u"Table", MakeRef<Table>());
        Guard([&] {
            mControl.AddCode(qv::vbscript::ScriptControl::GlobalModuleName, qv::automation::FromUtf8(*code));
        });
    }

    /// Runs Main(size) `runs` times and keeps the best time over every call so far.
    void Run(std::int32_t size, int runs) {
        for (int run = 0; run < runs && !mMeasure.Failed(); ++run) {
            Guard([&] {
                std::array<Variant, 1> args{Variant(size)};
                const auto start = std::chrono::steady_clock::now();
                const Variant result =
                    mControl.Run(qv::vbscript::ScriptControl::GlobalModuleName, u"Main", args);
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                const std::string checksum = qv::automation::ToUtf8(qv::automation::ToString(result));
                if (mRuns > 0 && checksum != mMeasure.checksum) {
                    mMeasure.failure = "checksum differs between runs";
                    return;
                }
                mMeasure.checksum = checksum;
                mMeasure.seconds = mRuns == 0 ? elapsed.count() : std::min(mMeasure.seconds, elapsed.count());
                ++mRuns;
            });
        }
    }

    const Measure& Result() const { return mMeasure; }

private:
    template <class Call> void Guard(Call&& call) {
        if (mMeasure.Failed()) {
            return;
        }
        try {
            call();
        } catch (const qv::automation::Error&) {
            const qv::vbscript::ScriptError& error = mControl.Error();
            mMeasure.failure = qv::automation::ToUtf8(error.source) + " " + std::to_string(error.number) +
                               " at line " + std::to_string(error.line) + ": " +
                               qv::automation::ToUtf8(error.description);
        }
    }

    qv::vbscript::ScriptControl mControl;
    Measure mMeasure;
    int mRuns = 0;
};

/// Runs a shell command and returns its standard output, or nullopt when it fails.
std::optional<std::string> Capture(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string output;
    std::array<char, 4096> buffer{};
    while (std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        output.append(buffer.data(), count);
    }
    if (pclose(pipe) != 0) {
        return std::nullopt;
    }
    return output;
}

/// A reference program (python3 or lua5.4) prints "checksum VALUE" and "seconds BEST".
Measure RunReference(const std::string& interpreter, const std::string& path, std::int32_t size, int runs) {
    Measure measure;
    const std::optional<std::string> output = Capture(
        interpreter + " '" + path + "' " + std::to_string(size) + " " + std::to_string(runs) + " 2>&1");
    if (!output) {
        measure.failure = interpreter + " failed";
        return measure;
    }
    std::istringstream lines(*output);
    std::string line;
    bool timed = false;
    while (std::getline(lines, line)) {
        if (line.rfind("checksum ", 0) == 0) {
            measure.checksum = line.substr(9);
        } else if (line.rfind("seconds ", 0) == 0) {
            measure.seconds = std::strtod(line.c_str() + 8, nullptr);
            timed = true;
        }
    }
    if (!timed) {
        measure.failure = "unexpected output: " + *output;
    }
    return measure;
}

/// Keeps the better of two measures of the same program; a differing checksum is a failure.
void Merge(std::optional<Measure>& best, Measure next) {
    if (!best || next.Failed()) {
        best = std::move(next);
    } else if (!best->Failed() && next.checksum != best->checksum) {
        best->failure = "checksum differs between runs";
    } else if (!best->Failed()) {
        best->seconds = std::min(best->seconds, next.seconds);
    }
}

struct Row {
    Program program;
    Measure script;
    std::optional<Measure> python;
    std::optional<Measure> lua;
};

/// Prints a reference's time and the ratio of the script's time to it; false when the checksums
/// differ or a side failed.
bool PrintReference(const Measure& script, const std::optional<Measure>& reference) {
    if (!reference) {
        std::printf(" %10s %6s", "-", "-");
        return true;
    }
    if (reference->Failed()) {
        std::printf(" %10s %6s", "failed", "-");
        return false;
    }
    std::printf(" %10.2f", reference->seconds * 1000);
    if (script.Failed()) {
        std::printf(" %6s", "-");
        return true;
    }
    std::printf(" %6.2f", script.seconds / reference->seconds);
    return script.checksum == reference->checksum;
}

bool Exists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path));
}

void PrintLinearity(const std::string& name, const char* side, const std::vector<Row>& rows, bool python) {
    const Row* base = nullptr;
    std::printf("  %-9s", side);
    for (const Row& row : rows) {
        const Measure* measure = python ? (row.python ? &*row.python : nullptr) : &row.script;
        if (row.program.name != name || measure == nullptr || measure->Failed()) {
            continue;
        }
        if (base == nullptr) {
            base = &row;
            continue;
        }
        const Measure& first = python ? *base->python : base->script;
        const double perPiece = measure->seconds / row.program.size;
        const double basePerPiece = first.seconds / base->program.size;
        std::printf("  %d: %.2f", row.program.size, perPiece / basePerPiece);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    int rounds = 3;
    std::string only;
    bool withPython = true;
    bool withLua = true;
    std::string directory = QV_VBS_PROGRAMS_DIR;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (argument == "--runs" && index + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++index]));
        } else if (argument == "--rounds" && index + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++index]));
        } else if (argument == "--only" && index + 1 < argc) {
            only = argv[++index];
        } else if (argument == "--no-python") {
            withPython = false;
        } else if (argument == "--no-lua") {
            withLua = false;
        } else if (argument == "--programs" && index + 1 < argc) {
            directory = argv[++index];
        } else {
            std::fprintf(stderr, "usage: vbscript_bench [--runs N] [--rounds N] [--only PROGRAM] "
                                 "[--no-python] [--no-lua] [--programs DIR]\n");
            return 2;
        }
    }
    if (withPython && !Capture("python3 --version 2>&1")) {
        std::printf("python3 is not on PATH: no CPython column\n");
        withPython = false;
    }
    if (withLua && !Capture("lua5.4 -v 2>&1")) {
        std::printf("lua5.4 is not on PATH (Debian package lua5.4): no Lua column\n");
        withLua = false;
    }

    std::printf("best of %d rounds x %d runs, the sides taking turns; ratio = VBScript time / other time "
                "(below 1: the engine is faster); '-': no equivalent program\n\n",
                rounds, runs);
    std::printf("%-13s %8s %-26s %11s %10s %6s %10s %6s  %s\n", "program", "size", "", "VBScript ms",
                "CPython ms", "ratio", "Lua ms", "ratio", "checksum");
    std::vector<Row> rows;
    bool failed = false;
    for (const Program& program : Programs) {
        if (!only.empty() && only != program.name) {
            continue;
        }
        const std::string base = directory + "/" + program.name;
        const bool python = withPython && Exists(base + ".py");
        const bool lua = withLua && Exists(base + ".lua");
        // Turns spread a busy machine's slow spells over every side.
        ScriptRunner script(base + ".vbs");
        Row row{program, {}, std::nullopt, std::nullopt};
        for (int round = 0; round < rounds; ++round) {
            script.Run(program.size, runs);
            if (python) {
                Merge(row.python, RunReference("python3", base + ".py", program.size, runs));
            }
            if (lua) {
                Merge(row.lua, RunReference("lua5.4", base + ".lua", program.size, runs));
            }
        }
        row.script = script.Result();
        std::printf("%-13s %8d %-26s ", program.name, program.size, program.what);
        if (row.script.Failed()) {
            std::printf("%11s", "failed");
        } else {
            std::printf("%11.2f", row.script.seconds * 1000);
        }
        const bool samePython = PrintReference(row.script, row.python);
        const bool sameLua = PrintReference(row.script, row.lua);
        std::printf("  %s\n", samePython && sameLua ? row.script.checksum.c_str() : "DIFFERENT");
        failed = failed || !samePython || !sameLua;
        const std::array<std::pair<const char*, const Measure*>, 3> sides{
            std::pair{"VBScript", &row.script}, std::pair{"CPython", row.python ? &*row.python : nullptr},
            std::pair{"Lua", row.lua ? &*row.lua : nullptr}};
        for (const auto& [side, measure] : sides) {
            if (measure != nullptr && (measure->Failed() || measure->checksum != row.script.checksum)) {
                std::printf("    %s: %s\n", side,
                            measure->Failed() ? measure->failure.c_str() : measure->checksum.c_str());
                failed = failed || measure->Failed();
            }
        }
        std::fflush(stdout);
        rows.push_back(std::move(row));
    }

    for (const char* name : {"page", "regexp"}) {
        if (!only.empty() && only != name) {
            continue;
        }
        std::printf("\n%s: time per piece relative to the smallest size (about 1: linear)\n", name);
        PrintLinearity(name, "VBScript", rows, false);
        if (withPython) {
            PrintLinearity(name, "CPython", rows, true);
        }
    }
    int slowerThanPython = 0;
    int beyondTwiceLua = 0;
    for (const Row& row : rows) {
        if (row.script.Failed()) {
            continue;
        }
        if (row.python && !row.python->Failed() && row.script.seconds >= row.python->seconds) {
            ++slowerThanPython;
        }
        if (row.lua && !row.lua->Failed() && row.script.seconds > 2 * row.lua->seconds) {
            ++beyondTwiceLua;
        }
    }
    if (withPython) {
        std::printf("\nFaster than CPython on every program: %s (%d of %zu at or above 1)\n",
                    slowerThanPython == 0 && !failed ? "yes" : "no", slowerThanPython, rows.size());
    }
    if (withLua) {
        std::printf("Within twice Lua 5.4 on every program with a Lua equivalent: %s (%d above 2)\n",
                    beyondTwiceLua == 0 && !failed ? "yes" : "no", beyondTwiceLua);
    }
    return failed ? 1 : 0;
}

// What bounds a script run by the vbs runner: objects and arrays count against the memory ceiling
// like strings, and text a script builds and runs (Execute, ExecuteGlobal, Eval) is compiled and
// run under both the ceiling and the time-out.

#include "VbsToolFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::vbscript::test {
namespace {

class ScriptCeilingsTest : public VbsToolFixture {
protected:
    /// The last progress count the script echoed before it stopped, or -1.
    static long LastCount(const std::string& output) {
        long last = -1;
        std::size_t start = 0;
        while (start < output.size()) {
            std::size_t end = output.find('\n', start);
            const std::string line =
                output.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
                last = std::stol(line);
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
        return last;
    }
};

// Empty arrays, dictionaries and procedure references charged nothing: a script that kept
// millions of them ran to its end far past the ceiling. Each now stops with 7 long before its
// loop is done, the count it reached showing that every object is charged at least the few dozen
// bytes it really takes.
TEST_F(ScriptCeilingsTest, ObjectsAndArraysCountAgainstTheMemoryCeiling) {
    struct Case {
        const char* name;
        const char* setup;
        const char* keep;
    };
    const Case cases[] = {
        {"nested.vbs", "Dim a\n", "a = Array(a)"},
        {"dictionaries.vbs", "ReDim a(1500000)\n", "Set a(i) = CreateObject(\"Scripting.Dictionary\")"},
        {"references.vbs", "Sub F\nEnd Sub\nReDim a(1500000)\n", "Set a(i) = GetRef(\"F\")"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::string script = std::string(row.setup) + "For i = 1 To 1500000\n" + row.keep +
                                   "\nIf i Mod 50000 = 0 Then WScript.Echo i\nNext\nWScript.Echo \"done\"\n";
        RunResult result = Run("--memory 64 " + Quoted(Write(row.name, script)));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("VBScript runtime error: Out of memory (7)"), std::string::npos)
            << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
        EXPECT_LT(LastCount(result.output), 1200000) << result.output;
    }
}

// Code a script built and ran was compiled without regard to either bound: a text of a million
// statements took gigabytes and seconds to compile before its first statement ran, and ran on
// past the time-out, since a run of statements without a loop never looked at the clock.
TEST_F(ScriptCeilingsTest, TextAScriptRunsIsCompiledAndRunUnderBothBounds) {
    // 2^19 statements, built without a loop, so that nothing before the compile reads the clock.
    std::string build = "s = \"x = x + 1\" & vbLf\n";
    for (int doubling = 0; doubling < 19; ++doubling) {
        build += "s = s & s\n";
    }
    struct Case {
        const char* name;
        const char* options;
        const char* run;
        const char* error;
    };
    const Case cases[] = {
        {"execute.vbs", "--memory 64", "Execute s", "Out of memory (7)"},
        {"global.vbs", "--memory 64", "ExecuteGlobal s", "Out of memory (7)"},
        {"eval.vbs", "--memory 64", "v = Eval(Replace(s, vbLf, \" + \") & \"1\")", "Out of memory (7)"},
        // Never run, only compiled: the compile alone outlasts the time-out many times over.
        {"compile.vbs", "--timeout 10 --memory 1024", "Execute \"If False Then\" & vbLf & s & \"End If\"",
         "Script execution timed out"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        RunResult result = Run(std::string(row.options) + " " +
                               Quoted(Write(row.name, build + row.run + "\nWScript.Echo \"done\"\n")));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find(row.error), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
    }

    // Four thousand statements that each search two million characters, in one straight run:
    // seconds of work that a loop would have stopped at the time-out.
    const std::string search = "s = Space(2000000)\nt = \"n = InStr(s, \"\"z\"\")\" & vbLf\n"
                               "For k = 1 To 12 : t = t & t : Next\nExecute t\nWScript.Echo \"done\"\n";
    RunResult result = Run("--timeout 100 " + Quoted(Write("straight.vbs", search)));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
}

// One statement of slow calls looked at the clock only when it was over: two hundred searches of
// thirty million characters ran for seconds past the time-out, in code that Execute, ExecuteGlobal
// or Eval ran as in a procedure of the file. Long joins and comparisons were as blind.
TEST_F(ScriptCeilingsTest, OneStatementOfSlowCallsStopsAtTheTimeOut) {
    std::string terms;
    std::string joins;
    for (int term = 0; term < 200; ++term) {
        terms += " + InStr(s, \"b\")";
        joins += " + Abs(s & \"1\" = s & \"2\")";
    }
    const std::string quoted = "Replace(Space(200), \" \", \" + InStr(s, \"\"b\"\")\")";
    struct Case {
        const char* name;
        std::string run;
    };
    const Case cases[] = {
        {"execute.vbs", "Execute \"x = 0\" & " + quoted},
        {"global.vbs", "ExecuteGlobal \"x = 0\" & " + quoted},
        {"eval.vbs", "x = Eval(\"0\" & " + quoted + ")"},
        {"sub.vbs", "Sub P\nx = 0" + terms + "\nEnd Sub\nP"},
        {"joins.vbs", "x = 0" + joins},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const std::string script = "s = String(30000000, \"a\")\n" + row.run + "\nWScript.Echo \"done\"\n";
        RunResult result = Run("--timeout 500 " + Quoted(Write(row.name, script)));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
    }

    // Large arrays made or copied (b = a, then b(0) = 1) by a line of statements too short for
    // the compiler's look at the clock: the time-out came only once the line was done.
    std::string redim;
    std::string copies;
    for (int statement = 0; statement < 14; ++statement) {
        redim += "ReDim a(20000000) : ReDim a(10000000) : ";
        copies += "b = a : b(0) = 1 : ";
    }
    for (const std::string& line : {redim, copies}) {
        const std::string script = "ReDim a(10000000)\n" + line + "\nWScript.Echo \"done\"\n";
        RunResult result = Run("--timeout 500 " + Quoted(Write("arrays.vbs", script)));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
    }
}

} // namespace
} // namespace qv::vbscript::test

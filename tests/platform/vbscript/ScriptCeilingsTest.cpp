// What bounds a script run by the vbs runner: objects and arrays count against the memory ceiling
// like strings, and text a script builds and runs (Execute, ExecuteGlobal, Eval) is compiled and
// run under both the ceiling and the time-out.

#include "VbsToolFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace qv::vbscript::test {
namespace {

// Under AddressSanitizer the runner holds shadow memory and quarantine besides its own, and runs
// some ten times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
constexpr bool Sanitized = __has_feature(address_sanitizer);
#else
constexpr bool Sanitized = false;
#endif

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

// Memory that no object charged passed the ceiling many times over: classes and names a script
// made at run time, the frames of a procedure with many locals, short strings in class fields,
// and the compile of the script file itself. Each now stops with 7 while the process holds less
// than twice the ceiling; under AddressSanitizer, whose shadow and quarantine the process holds
// besides, only the error is checked.
TEST_F(ScriptCeilingsTest, MemoryNoObjectChargedStopsAtTheCeiling) {
    std::string locals = "Dim l0";
    for (int index = 1; index < 60000; ++index) {
        locals += ", l" + std::to_string(index);
    }
    std::string statements;
    for (int index = 0; index < 1000000; ++index) {
        statements += "x = x + 1\n";
    }
    const std::pair<const char*, std::string> cases[] = {
        {"classes.vbs",
         "For i = 1 To 10000000\nExecute \"Class D\" & i & t & \" : Public a : End Class\"\nNext\n"},
        {"globals.vbs", "For i = 1 To 10000000\nExecuteGlobal \"Dim v\" & i & t\nNext\n"},
        {"locals.vbs", "Sub S\nFor i = 1 To 10000000\nExecute \"Dim w\" & i & t\nNext\nEnd Sub\nS\n"},
        {"frames.vbs", "Function F(n)\n" + locals + "\nIf n > 0 Then F = F(n - 1)\nEnd Function\nF 100000\n"},
        {"fields.vbs", "Class C\nPublic a, b, c, d, e, f, g, h\nEnd Class\nReDim all(1000000)\n"
                       "For i = 0 To 1000000\nSet o = New C\nSet all(i) = o\n"
                       "o.a = \"a\" & i : o.b = \"b\" & i : o.c = \"c\" & i : o.d = \"d\" & i\n"
                       "o.e = \"e\" & i : o.f = \"f\" & i : o.g = \"g\" & i : o.h = \"h\" & i\nNext\n"},
        {"statements.vbs", statements},
        // The run that ends it must not forget what the script made: its Class_Terminate once got
        // a whole ceiling of its own.
        {"terminate.vbs",
         "Class K\nSub Class_Terminate()\nFor j = 1 To 10000000\n"
         "Execute \"Class E\" & j & t & \" : Public a : End Class\"\nNext\nEnd Sub\nEnd Class\n"
         "Set o = New K\nFor i = 1 To 10000000\nExecute \"Class D\" & i & t & \" : Public a : End "
         "Class\"\nNext\n"},
    };
    constexpr long CeilingKb = 48L * 1024;
    for (const auto& [name, script] : cases) {
        SCOPED_TRACE(name);
        // Long names reach the ceiling in fewer steps.
        const std::string text = "t = \"_\" & String(200, \"x\")\n" + script + "WScript.Echo \"done\"\n";
        RunResult result = Run("--memory 48 " + Quoted(Write(name, text)), 120);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("VBScript runtime error: Out of memory (7)"), std::string::npos)
            << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
        if (!Sanitized) {
            EXPECT_LT(result.peakKb, 2 * CeilingKb);
        }
    }
}

// A script well under both bounds that keeps many objects, procedures, locals, matches and keys
// runs to its end with its answer.
TEST_F(ScriptCeilingsTest, AScriptUnderBothBoundsRunsToItsEnd) {
    const std::string script =
        "Class P\nPublic a, b, c, d\nEnd Class\nDim items(99999)\n"
        "For i = 0 To 99999\nSet o = New P\no.a = i : o.b = \"b\" & i : o.c = i * 2 : o.d = \"d\"\n"
        "Set items(i) = o\nNext\n"
        "For i = 1 To 2000\nExecuteGlobal \"Function G\" & i & \"(x) : G\" & i & \" = x + \" & i & \" : End "
        "Function\"\nNext\n"
        "Function R(n)\nDim l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, l12, l13, l14, l15, l16, l17, l18, "
        "l19\n"
        "Dim l20, l21, l22, l23, l24, l25, l26, l27, l28, l29, l30, l31, l32, l33, l34, l35, l36, l37, l38\n"
        "Dim l39, l40, l41, l42, l43, l44, l45, l46, l47, l48, l49, l50\n"
        "l50 = n\nIf n > 0 Then R = R(n - 1) + 1 Else R = 0\nEnd Function\n"
        "Set re = New RegExp\nre.Global = True\nre.Pattern = \"b+\"\n"
        "m = re.Execute(String(160000, \"b\") & \"a\" & Replace(Space(80000), \" \", \"ab\")).Count\n"
        "Set d = CreateObject(\"Scripting.Dictionary\")\nFor i = 1 To 100000\nd.Add \"k\" & i, i\nNext\n"
        "WScript.Echo items(99999).b, G2000(1), R(1000), m, d.Count\n";
    RunResult result = Run("--timeout 60000 --memory 128 " + Quoted(Write("fits.vbs", script)), 120);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "b99999 2001 1000 80001 100000\n");
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

    // The script file itself was compiled before its run's clock started: a file of half a million
    // statements that never run took its seconds to compile and then ran to its end.
    std::string file = "If False Then\n";
    for (int statement = 0; statement < (1 << 19); ++statement) {
        file += "x = x + 1\n";
    }
    file += "End If\nWScript.Echo \"done\"\n";
    result = Run("--timeout 10 --memory 1024 " + Quoted(Write("file.vbs", file)));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;

    // One line of twenty million characters was read to its end without a look at the clock:
    // the run went on past any time-out, for seconds with longer lines.
    std::string line;
    line.resize(20000000, 'a');
    std::string blanks;
    blanks.resize(line.size(), ' ');
    for (const std::string& text : {"' " + line, "x = \"" + line + "\"", blanks + "x = 1"}) {
        SCOPED_TRACE(text.substr(0, 6));
        result =
            Run("--timeout 1 --memory 1024 " + Quoted(Write("line.vbs", text + "\nWScript.Echo \"done\"\n")));
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("done"), std::string::npos) << result.output;
    }
}

// Each parameter of a procedure was compared with every one before it, and each Property Get of a
// class with every procedure of the class, none of it looking at the clock: 60,000 parameters
// took 13 s to compile (as many again through Execute), a class of 60,000 properties two minutes.
// Twenty such lists, or a class of 100,000 properties, compile at once now, and a name given twice
// is found where it stands.
TEST_F(ScriptCeilingsTest, DeclarationsOfManyNamesCompileInTimeLinearInTheirLength) {
    const auto names = [](int count) {
        std::string list = "p0";
        for (int index = 1; index < count; ++index) {
            list += ", p" + std::to_string(index);
        }
        return list;
    };
    const auto properties = [](int count) {
        std::string members;
        for (int index = 0; index < count; ++index) {
            const std::string name = "P" + std::to_string(index);
            members.append("Property Get ").append(name).append("\nEnd Property\nProperty Let ");
            members.append(name).append("(v)\nEnd Property\n");
        }
        return members;
    };
    const std::string twice = names(60000);
    struct Case {
        const char* name;
        std::string script;
        std::string expected;
    };
    std::string procedures;
    for (int procedure = 0; procedure < 20; ++procedure) {
        procedures += "Sub S" + std::to_string(procedure) + "(" + names(60000) + ")\nEnd Sub\n";
    }
    const Case cases[] = {
        {"parameters.vbs", procedures, "done\n"},
        {"execute.vbs",
         "t = \"Sub S(p0\"\nFor i = 1 To 59999 : t = t & \", p\" & i : Next\nt = t & \")\" & vbLf & \"End "
         "Sub\"\n"
         "For k = 1 To 10 : Execute t : ExecuteGlobal t : Next\n",
         "done\n"},
        {"properties.vbs", "Class C\n" + properties(100000) + "End Class\n", "done\n"},
        {"twice.vbs", "Sub S(" + twice + ", P0)\nEnd Sub\n",
         "(1, " + std::to_string(twice.size() + 9) + "): VBScript compilation error: Name redefined (1041)"},
        {"inconsistent.vbs",
         "Class C\n" + properties(100000) + "Property Let P7(a, b)\nEnd Property\nEnd Class\n",
         "(400002, 1): VBScript compilation error: Number of arguments must be consistent across properties"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        RunResult result = Run(Quoted(Write(row.name, row.script + "WScript.Echo \"done\"\n")), 100);
        EXPECT_EQ(result.status, row.expected == "done\n" ? 0 : 1);
        EXPECT_NE(result.output.find(row.expected), std::string::npos) << result.output.substr(0, 200);
    }
}

// The lexer charged one token for every four characters before it read any: a file of 5 MB of long
// literals, which needs some 40 MB, was refused under a ceiling of 64 MB. What it makes is charged
// as it is made now: that file runs, and one whose literals pass the ceiling is refused all the same,
// before the process holds twice the ceiling.
TEST_F(ScriptCeilingsTest, TheCompileChargesWhatItMakes) {
    const auto literals = [](int lines) {
        std::string script;
        for (int line = 0; line < lines; ++line) {
            script += "x = \"" + std::string(100000, 'a') + "\"\n";
        }
        return script + "WScript.Echo Len(x)\n";
    };
    RunResult fits = Run("--memory 64 " + Quoted(Write("fits.vbs", literals(50))));
    EXPECT_EQ(fits.status, 0) << fits.output.substr(0, 400);
    EXPECT_EQ(fits.output, "100000\n");
    RunResult refused = Run("--memory 64 " + Quoted(Write("refused.vbs", literals(200))));
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("Out of memory (7)"), std::string::npos) << refused.output.substr(0, 400);
    if (!Sanitized) {
        EXPECT_LT(refused.peakKb, 2L * 64 * 1024);
    }
}

// Folding a chain of constant pieces copied all it had joined at each step: a line of 400,000
// pieces took seconds to compile, and a million took a minute. Now such a line compiles in a
// fraction of a second, far within its time-out.
TEST_F(ScriptCeilingsTest, AChainOfConstantsFoldsInTimeLinearInItsText) {
    constexpr int Pieces = 1000000;
    struct Case {
        const char* name;
        const char* first;
        const char* piece;
        const char* last;
        const char* expected;
    };
    const Case cases[] = {
        {"concat.vbs", "x = 1", " & 1", "", "1000000\n"},
        {"plus.vbs", "x = \"1\"", " + \"1\"", "", "1000000\n"},
        // Constant pieces before one that is not: those are joined into one constant.
        {"pieces.vbs", "y = 2\nx = 1", " & 1", " & y", "1000001\n"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        std::string script = row.first;
        for (int piece = 1; piece < Pieces; ++piece) {
            script += row.piece;
        }
        script += std::string(row.last) + "\nWScript.Echo Len(x)\n";
        RunResult result = Run(
            (Sanitized ? "--timeout 150000 " : "--timeout 20000 ") + Quoted(Write(row.name, script)), 300);
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, row.expected);
    }
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

// A search compared the needle at every start of the text: one call with a needle of 20,000
// units that nearly matched everywhere in two million ran for half a minute, past any time-out.
// With a needle ten times as long each call would take minutes; now each gives its answer at once.
TEST_F(ScriptCeilingsTest, ALongNeedleCostsNoMoreThanTheTextItIsSearchedIn) {
    const std::string script =
        "a = String(2000000, \"a\")\nn = String(200000, \"a\") & \"b\"\n"
        "WScript.Echo InStr(a, n), InStr(1, a, UCase(n), vbTextCompare), InStrRev(a, n), "
        "InStrB(a, n)\n"
        "WScript.Echo Len(Replace(a, n, \"\")), UBound(Split(a, n, -1, vbTextCompare)), "
        "UBound(Filter(Array(a, a & n), n))\n"
        "WScript.Echo InStr(a & n & a, n), InStrRev(a & n & a, n)\n";
    RunResult result = Run("--timeout 60000 " + Quoted(Write("needle.vbs", script)), 150);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "0 0 0 0\n2000000 0 0\n2000001 2000001\n");
}

// Library calls copied their arguments before anything was charged: InStrB(s, s) of a string near
// the ceiling took two copies of each text and stopped with 7 only at some two and a half times the
// ceiling; an interval of DateAdd, a date's words, a pattern's translation and a replacement's
// pieces were made as large as the text with no check at all. Each call now charges what it makes
// before it makes it, or reads its arguments where they are: each row gives its answer, or 7,
// while the process holds less than twice the ceiling.
TEST_F(ScriptCeilingsTest, LibraryCallsChargeWhatTheyCopyBeforeTheyCopyIt) {
    const std::string text = "s = String(27000000, \"a\")\n"; // 54 MB of the 64
    struct Case {
        std::string setup;
        const char* call;
        const char* expected; // the echoed value, or the error's text
    };
    const Case cases[] = {
        {text, "InStrB(s, s)", "1\n"},
        {text, "InStrB(3, s, \"b\")", "0\n"},
        {text, "LenB(MidB(s, 3, 5)) & LenB(MidB(s, 2, 5)) & LenB(LeftB(s, 7)) & LenB(RightB(s, 7))",
         "4466\n"},
        {text, "Len(CStr(s))", "27000000\n"},
        {text, "DateAdd(s, 1, Date)", "Invalid procedure call or argument (5)"},
        {"s = String(27000000, \"0\")\n", "IsNumeric(s) & CDbl(s)", "True0\n"},
        {"s = String(27000000, \"/\")\n", "IsDate(s)", "Out of memory (7)"},
        {"Set re = New RegExp\nre.Pattern = Replace(Space(1000000), \" \", \"\\s\")\n", "re.Test(\"a\")",
         "Out of memory (7)"},
        {"Set re = New RegExp\nr = Replace(Space(8000000), \" \", \"$&\")\n", "re.Replace(\"a\", r)",
         "Out of memory (7)"},
        {text, "UBound(Filter(Array(s), \"a\"))", "0\n"},
        {text, "CreateObject(s)", "(429)"},
        {text, "GetRef(s)", "Invalid procedure call or argument (5)"},
        {text, "Len(Escape(s))", "Out of memory (7)"},
        {text, "Len(Unescape(s))", "Out of memory (7)"},
        {text, "Len(Mid(s, 2))", "Out of memory (7)"},
        {text, "Len(LCase(s))", "Out of memory (7)"},
        {text, "Len(Replace(s, \"a\", \"b\"))", "Out of memory (7)"},
        {text, "UBound(Split(s, \"a\"))", "Out of memory (7)"},
        {text, "Len(Join(Array(s, s)))", "Out of memory (7)"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.call);
        const std::string script = row.setup + "WScript.Echo " + row.call + "\n";
        RunResult result = Run("--memory 64 " + Quoted(Write("call.vbs", script)), 120);
        if (std::string_view(row.expected).ends_with("\n")) {
            EXPECT_EQ(result.status, 0);
            EXPECT_EQ(result.output, row.expected);
        } else {
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.output.find(row.expected), std::string::npos) << result.output;
        }
        if (!Sanitized) {
            EXPECT_LT(result.peakKb, 2L * 64 * 1024);
        }
    }
}

} // namespace
} // namespace qv::vbscript::test

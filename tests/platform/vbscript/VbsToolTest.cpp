// The vbs runner as its users meet it: files it cannot run, the encodings of script files, its
// options, and the end of a run.

#include "VbsToolFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qv::vbscript::test {
namespace {

class VbsToolTest : public VbsToolFixture {};

// A folder or a device aborted the runner or hung it; each is now a plain error.
TEST_F(VbsToolTest, FilesThatAreNoScriptsGiveAClearError) {
    RunResult missing = Run(Quoted(mFolder / "missing.vbs"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.output.find("missing.vbs: no such file"), std::string::npos) << missing.output;

    RunResult folder = Run(Quoted(mFolder));
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.output.find("is a folder"), std::string::npos) << folder.output;

    RunResult device = Run("/dev/zero");
    EXPECT_EQ(device.status, 2);
    EXPECT_NE(device.output.find("is not a regular file"), std::string::npos) << device.output;
}

TEST_F(VbsToolTest, ScriptFilesMayBeUtf8Utf16OrTheAnsiCodePage) {
    const std::string echo = "WScript.Echo \"";
    // "café €" in each encoding.
    fs::path utf8 = Write("utf8.vbs", echo + "caf\xC3\xA9 \xE2\x82\xAC\"\r\n");
    fs::path utf8Bom = Write("utf8bom.vbs", "\xEF\xBB\xBF" + echo + "caf\xC3\xA9 \xE2\x82\xAC\"\r\n");
    fs::path ansi = Write("ansi.vbs", echo + "caf\xE9 \x80\"\r\n");
    std::string utf16le = "\xFF\xFE";
    std::string utf16be = "\xFE\xFF";
    for (char16_t unit : u"WScript.Echo \"caf\u00E9 \u20AC\"") {
        if (unit == 0) {
            break;
        }
        utf16le += static_cast<char>(unit & 0xFF);
        utf16le += static_cast<char>(unit >> 8);
        utf16be += static_cast<char>(unit >> 8);
        utf16be += static_cast<char>(unit & 0xFF);
    }
    fs::path little = Write("utf16le.vbs", utf16le);
    fs::path big = Write("utf16be.vbs", utf16be);
    for (const fs::path& path : {utf8, utf8Bom, ansi, little, big}) {
        SCOPED_TRACE(path.filename().string());
        RunResult result = Run(Quoted(path));
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, "caf\xC3\xA9 \xE2\x82\xAC\n");
    }
}

// The error line came before the script's own output when both went to one place.
TEST_F(VbsToolTest, OutputComesBeforeTheErrorThatEndsTheRun) {
    RunResult result = Run(Quoted(Write("fails.vbs", "WScript.Echo \"before\"\nx = 1 / 0\n")));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("before\n", 0), 0u) << result.output;
    EXPECT_NE(result.output.find("(2, 1): VBScript runtime error: Division by zero (11)"), std::string::npos)
        << result.output;
}

TEST_F(VbsToolTest, TimeoutAndMemoryOptionsBoundTheScript) {
    RunResult loop = Run("--timeout 200 " + Quoted(Write("loop.vbs", "Do\nLoop\n")));
    EXPECT_EQ(loop.status, 1);
    EXPECT_NE(loop.output.find("Script execution timed out"), std::string::npos) << loop.output;

    fs::path big = Write("big.vbs", "s = Space(20000000)\nWScript.Echo Len(s)\n");
    RunResult limited = Run("--memory 16 " + Quoted(big));
    EXPECT_EQ(limited.status, 1);
    EXPECT_NE(limited.output.find("Out of memory (7)"), std::string::npos) << limited.output;
    RunResult enough = Run("--memory 128 " + Quoted(big));
    EXPECT_EQ(enough.status, 0);
    EXPECT_EQ(enough.output, "20000000\n");

    // A global search holds its matches under the ceiling and stops at the time-out as script
    // code does; it ran on for seconds and took gigabytes past both.
    fs::path search =
        Write("search.vbs", "Set re = New RegExp\nre.Global = True\nre.Pattern = \"a\"\n"
                            "Set m = re.Execute(String(20000000, \"a\"))\nWScript.Echo m.Count\n");
    RunResult searchLimited = Run("--memory 64 " + Quoted(search));
    EXPECT_EQ(searchLimited.status, 1);
    EXPECT_NE(searchLimited.output.find("(4, 11): VBScript runtime error: Out of memory (7)"),
              std::string::npos)
        << searchLimited.output;
    RunResult searchTimed = Run("--timeout 200 --memory 1024 " + Quoted(search));
    EXPECT_EQ(searchTimed.status, 1);
    EXPECT_NE(searchTimed.output.find("Script execution timed out"), std::string::npos) << searchTimed.output;

    RunResult bad = Run("--memory lots " + Quoted(big));
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("--memory needs a whole number"), std::string::npos) << bad.output;
}

TEST_F(VbsToolTest, ClassTerminateRunsAtTheEndOfTheRun) {
    const std::string code = "Class T\nSub Class_Terminate()\nWScript.Echo \"bye\"\nWScript.Quit 3\nEnd Sub\n"
                             "End Class\nDim keep : Set keep = New T\nWScript.Echo \"end\"\n";
    RunResult result = Run(Quoted(Write("terminate.vbs", code)));
    EXPECT_EQ(result.output, "end\nbye\n");
    EXPECT_EQ(result.status, 3);
}

// Class_Terminate at the end of the run had a time-out of its own: after a script that timed out,
// a terminator ran on as long again, and one the time-out stopped after a script that ended well
// left the run a success. Terminators now run within the run's own deadline.
TEST_F(VbsToolTest, ClassTerminateRunsWithinTheRunsTimeOut) {
    const std::string terminator = "Class T\nSub Class_Terminate()\nDo While n < 3\nn = n + 1\n"
                                   "WScript.Echo \"tick\"\nLoop\nDo\nLoop\nEnd Sub\nEnd Class\n"
                                   "Dim keep : Set keep = New T\n";
    RunResult late = Run("--timeout 200 " + Quoted(Write("late.vbs", terminator + "Do\nLoop\n")));
    EXPECT_EQ(late.status, 1);
    EXPECT_NE(late.output.find("(13, 1): VBScript runtime error: Script execution timed out"),
              std::string::npos)
        << late.output;
    // Its deadline had passed: stopped at its first look at the clock.
    EXPECT_EQ(late.output.find("tick\ntick"), std::string::npos) << late.output;

    RunResult stopped =
        Run("--timeout 200 " + Quoted(Write("stopped.vbs", terminator + "WScript.Echo \"end\"\n")));
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.output.rfind("end\ntick\n", 0), 0u) << stopped.output;
    EXPECT_NE(stopped.output.find("VBScript runtime error: Script execution timed out"), std::string::npos)
        << stopped.output;
}

// A terminator that fails before its first look at the clock (error 7 on its first statement) let
// the next one start: once the time was up, a queue of them went on copying a string to the ceiling
// for seconds. None starts after the deadline; each says so if it does, a second after it.
TEST_F(VbsToolTest, NoTerminatorStartsAfterTheDeadline) {
    const std::string script =
        "Dim s, a, started\nstarted = Timer\n"
        "Class T0\nSub Class_Terminate()\nDim spent : spent = Timer - started\n"
        "If spent < 0 Then spent = spent + 86400\n"
        "If spent > 1.3 Then WScript.Echo \"late\"\n"
        "s = s & s\nEnd Sub\nEnd Class\n"
        "Class T1\nSub Class_Terminate()\ns = String(10000, \"a\")\nEnd Sub\nEnd Class\n"
        "Sub Fill(list, n)\nReDim list(n)\nFor j = 0 To n : Set list(j) = New T0 : Next\nEnd Sub\n"
        "ReDim a(0)\nSet a(0) = New T1\nFill a, 2500 : Erase a\n";
    RunResult run = Run("--timeout 300 --memory 128 " + Quoted(Write("queue.vbs", script)));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("VBScript runtime error: Script execution timed out"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("late"), std::string::npos) << run.output;
}

// A comparison's general path used a slot the frame's size left out: recursion that reached the
// end of a block of the value stack wrote past it (an abort after error 28, or a crash under
// On Error Resume Next).
TEST_F(VbsToolTest, RecursionEndsInOutOfStackSpaceNotACrash) {
    const std::string recursion =
        "Function Id(x)\n Id zz = x\nEnd Function\nSub c0()\nx = Id(1)\nEnd Sub\nc0\n";
    RunResult deep = Run(Quoted(Write("deep.vbs", recursion)));
    EXPECT_EQ(deep.status, 1);
    EXPECT_NE(deep.output.find("(2, 2): VBScript runtime error: Out of stack space (28)"), std::string::npos)
        << deep.output;
    RunResult trapped = Run(Quoted(Write("trapped.vbs", "On Error Resume Next\n" + recursion +
                                                            "WScript.Echo \"after \" & Err.Number\n")));
    EXPECT_EQ(trapped.status, 0);
    EXPECT_EQ(trapped.output, "after 28\n");
}

// Thousands of objects released at once ran their terminators inside one another until the call
// depth ran out; there one of them wrote past the end of the value stack (a crash). At the end of
// the run they nested the same way.
TEST_F(VbsToolTest, ObjectsReleasedTogetherRunTheirTerminatorsOneAfterAnother) {
    const std::string terminator = "Class K\nPrivate Sub Class_Terminate\nn = n + 1\n"
                                   "If n = 3000 Then WScript.Echo n\nEnd Sub\nEnd Class\n";
    // n is each terminator's own local here: nothing to count, only the crash to miss.
    RunResult erased =
        Run(Quoted(Write("erased.vbs", terminator + "ReDim a(2000)\n"
                                                    "For i = 0 To 2000 : Set a(i) = New K : Next\n"
                                                    "Erase a\nWScript.Echo \"done\"\n")));
    EXPECT_EQ(erased.status, 0);
    EXPECT_EQ(erased.output, "done\n");
    RunResult atEnd = Run(Quoted(Write("end.vbs", "Dim n\n" + terminator +
                                                      "Dim keep(2999)\n"
                                                      "For i = 0 To 2999 : Set keep(i) = New K : Next\n")));
    EXPECT_EQ(atEnd.status, 0);
    EXPECT_EQ(atEnd.output, "3000\n");
}

} // namespace
} // namespace qv::vbscript::test

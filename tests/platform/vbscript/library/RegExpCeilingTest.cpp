// Regular expressions under the vbs runner's ceilings, as a user meets them: one search that runs
// long stops at --timeout, and RegExp objects count against --memory.

#include "platform/vbscript/VbsToolFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::vbscript::test {
namespace {

namespace fs = std::filesystem;

// The limit after which a run is killed: minutes above what a mended run takes, even on a loaded
// machine.
constexpr int KillAfterSeconds = 120;

class RegExpCeilingTest : public VbsToolFixture {
protected:
    RunResult RunVbs(const fs::path& script, const std::string& options) const {
        return Run(options + " " + Quoted(script), KillAfterSeconds);
    }
};

// One search whose every start fails after reading the rest of the subject: each call of the
// engine stayed under its match limit, so Test, Execute and Replace ran for minutes past the
// run's time-out. Global searches that find a match at every start stop as well.
TEST_F(RegExpCeilingTest, OneLongSearchStopsAtTheTimeOut) {
    const std::string setUp = "Set re = New RegExp\nre.Pattern = \"a(?=.*b)\"\n"
                              "subject = String(200000, \"a\")\n";
    struct Case {
        const char* name;
        std::string code;
    };
    const Case cases[] = {
        {"test", "WScript.Echo re.Test(subject)\n"},
        {"execute", "WScript.Echo re.Execute(subject).Count\n"},
        {"replace", "WScript.Echo Len(re.Replace(subject, \"x\"))\n"},
        {"global-replace", "re.Global = True\nWScript.Echo Len(re.Replace(subject, \"x\"))\n"},
        {"global-execute", "re.Global = True\nWScript.Echo re.Execute(subject).Count\n"},
        {"each-match", "re.Global = True\nFor Each m In re.Execute(subject & \"b\")\nn = n + 1\nNext\n"
                       "WScript.Echo n\n"},
        {"replace-each-match", "re.Global = True\nWScript.Echo Len(re.Replace(subject & \"b\", \"x\"))\n"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const RunResult result =
            RunVbs(Write(std::string(test.name) + ".vbs", setUp + test.code), "--timeout 500");
        EXPECT_EQ(result.status, 1) << result.output;
        EXPECT_NE(result.output.find("Script execution timed out"), std::string::npos) << result.output;
    }

    // Searches over long subjects find what they found before, wherever it lies, a character
    // beyond the basic plane included.
    const RunResult quick =
        RunVbs(Write("quick.vbs",
                     "Set re = New RegExp\nre.Pattern = \"a(?=.*b)\"\nre.Global = True\n"
                     "subject = String(3000, \"a\")\n"
                     "WScript.Echo re.Test(subject), re.Execute(subject & \"b\").Count\n"
                     "WScript.Echo Len(re.Replace(subject & \"cab\", \"x\"))\n"
                     "re.Pattern = \"b\\d|.$\"\n"
                     "subject = String(70000, \"x\") & \"b1\" & String(90000, \"x\") & ChrW(&HD83D) & "
                     "ChrW(&HDE00) & \"b2\" & String(300000, \"y\")\n"
                     "For Each m In re.Execute(subject)\nWScript.Echo m.FirstIndex, m.Value\nNext\n"
                     "re.Global = False\nWScript.Echo re.Execute(Mid(subject, 70003)).Item(0).FirstIndex\n"),
               "--timeout 60000");
    EXPECT_EQ(quick.status, 0) << quick.output;
    EXPECT_EQ(quick.output, "False 3000\n3003\n70000 b1\n160004 b2\n460005 y\n90002\n");
}

// A pattern that backtracks at every start of a short subject was searched in one call of the
// engine, each start below its match limit: half a minute on a thousand characters, minutes on
// two thousand, past any time-out. Such searches finish with the answer they always gave.
TEST_F(RegExpCeilingTest, BacktrackingAtEachStartStopsAtTheTimeOut) {
    const std::string setUp = "Set re = New RegExp\nre.Pattern = \"a*a*a*\\d\"\n";
    // Over 4,096 characters the subject was cut into calls, but one start still ran for seconds.
    for (const char* length : {"1000", "5000"}) {
        const RunResult slow =
            RunVbs(Write("slow.vbs", setUp + "WScript.Echo re.Test(String(" + length + ", \"a\"))\n"),
                   "--timeout 500");
        EXPECT_EQ(slow.status, 1) << slow.output;
        EXPECT_NE(slow.output.find("Script execution timed out"), std::string::npos) << slow.output;
    }

    // Watched by the clock under a time-out, in one call without one.
    for (const char* options : {"--timeout 60000", ""}) {
        const RunResult quick =
            RunVbs(Write("quick.vbs", setUp + "WScript.Echo re.Test(String(300, \"a\")), "
                                              "re.Replace(String(300, \"a\") & \"1a\", \"x\")\n"),
                   options);
        EXPECT_EQ(quick.status, 0) << quick.output;
        EXPECT_EQ(quick.output, "False xa\n");
    }
}

// RegExp objects took memory the account never saw: millions of them in an array went far past
// the ceiling, where as many class instances stopped with 7. What a pattern holds once it has
// matched (its compiled code and the engine's match frames, some kilobytes) went unseen as well.
TEST_F(RegExpCeilingTest, RegExpObjectsCountAgainstTheMemoryCeiling) {
    const RunResult plain = RunVbs(
        Write("objects.vbs", "ReDim a(1000000)\nFor i = 0 To 1000000\n    Set a(i) = New RegExp\nNext\n"
                             "WScript.Echo \"all made\"\n"),
        "--memory 32");
    EXPECT_EQ(plain.status, 1) << plain.output;
    EXPECT_NE(plain.output.find("objects.vbs(3, "), std::string::npos) << plain.output;
    EXPECT_NE(plain.output.find("VBScript runtime error: Out of memory (7)"), std::string::npos)
        << plain.output;

    const RunResult matched =
        RunVbs(Write("matched.vbs", "ReDim a(30000)\nFor i = 0 To 30000\n    Set a(i) = New RegExp\n"
                                    "    a(i).Pattern = \"[a-z]+(\\d+)\"\n    a(i).Test \"abc123\"\nNext\n"
                                    "WScript.Echo \"all made\"\n"),
               "--memory 32");
    EXPECT_EQ(matched.status, 1) << matched.output;
    EXPECT_NE(matched.output.find("VBScript runtime error: Out of memory (7)"), std::string::npos)
        << matched.output;
}

} // namespace
} // namespace qv::vbscript::test

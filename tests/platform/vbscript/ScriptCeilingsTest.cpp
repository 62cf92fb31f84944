// What bounds a script run by the vbs runner: objects and arrays count against the memory ceiling
// like strings.

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

} // namespace
} // namespace qv::vbscript::test

// The time-out a template package sets for its page functions bounds code they build and run as
// well as their loops.

#include "template/QoScript.h"

#include "template/QoScriptTestObjects.h"

#include "platform/vbscript/ScriptControl.h"

#include <gtest/gtest.h>

namespace qv::test::qoscript {
namespace {

class ScriptCeilingsTemplateTest : public ScriptHostTest {};

// A page function that ran a long straight run of statements it had built (no loop, no call)
// went on for seconds past the package's time-out: only backward jumps and calls looked at the
// clock. It now stops at the time-out, and the page fails with the engine's error.
TEST_F(ScriptCeilingsTemplateTest, TimeOutStopsAStraightRunOfBuiltCode) {
    QoScript script;
    Initialize(script);
    const std::u16string page = Lines({
        u"Function kqScriptEngine()",
        u"s = Space(2000000)",
        u"t = \"n = InStr(s, \"\"z\"\")\" & vbLf",
        u"For k = 1 To 12 : t = t & t : Next",
        u"Execute t",
        u"kqScriptEngine = \"done\"",
        u"End Function",
    });

    EXPECT_EQ(script.BuildNewCode(page, 2, 200), u"");
    EXPECT_EQ(script.Control().Error().number, vbscript::TimeoutErrorNumber);
    EXPECT_NE(State().gProjErr.find(script.Control().Error().description), std::u16string::npos)
        << automation::ToUtf8(State().gProjErr);
}

} // namespace
} // namespace qv::test::qoscript

#include "platform/vbscript/ScriptControl.h"

#include "ScriptTestHost.h"

#include "platform/automation/Memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv::vbscript::test {
namespace {

using automation::ToUtf8;

std::string Text(const Variant& value) {
    return ToUtf8(automation::ToString(value));
}

// A bound on elapsed time that only work without end reaches, however busy the machine.
constexpr auto GenerousLimit = std::chrono::seconds(120);

class ScriptControlTest : public ::testing::Test {
protected:
    ScriptControl control;

    /// Runs `code` in Global and expects it to fail; returns the error record.
    ScriptError Failing(std::u16string_view module, std::u16string_view code) {
        EXPECT_THROW(control.AddCode(module, code), automation::Error);
        return control.Error();
    }
};

TEST_F(ScriptControlTest, AddCodeRunsTopLevelStatementsAtOnce) {
    control.AddCode(u"Global", u"Dim x : x = 6 * 7");
    EXPECT_EQ(Text(control.Eval(u"Global", u"x")), "42");
    EXPECT_FALSE(control.Error().IsSet());
}

TEST_F(ScriptControlTest, RunCallsAProcedureByNameWithArguments) {
    control.AddCode(u"Global", u"Function Join(a, b)\r\n Join = a & \"-\" & b\r\nEnd Function");
    std::vector<Variant> args{Variant(u"x"), Variant(std::int32_t(5))};
    EXPECT_EQ(Text(control.Run(u"Global", u"join", args)), "x-5");
    EXPECT_TRUE(control.Run(u"Global", u"Join", args).IsString());
}

TEST_F(ScriptControlTest, RunWritesBackByReferenceArguments) {
    control.AddCode(u"Global", u"Sub Bump(n) : n = n + 1 : End Sub\nSub Keep(ByVal n) : n = 0 : End Sub");
    Variant number(std::int32_t(1));
    std::vector<Variant> args{Variant::ByRef(number)};
    control.Run(u"Global", u"Bump", args);
    control.Run(u"Global", u"Keep", args);
    EXPECT_EQ(Text(number), "2");
}

TEST_F(ScriptControlTest, RunReportsMissingProceduresAndWrongArgumentCounts) {
    control.AddCode(u"Global", u"Sub One(a) : End Sub");
    EXPECT_THROW(control.Run(u"Global", u"Missing"), automation::Error);
    EXPECT_EQ(control.Error().number, 35);
    std::vector<Variant> none;
    EXPECT_THROW(control.Run(u"Global", u"One", none), automation::Error);
    EXPECT_EQ(control.Error().number, 450);
}

TEST_F(ScriptControlTest, ModulesHaveTheirOwnGlobalsAndSeeGlobal) {
    control.AddModule(u"System");
    control.AddModule(u"$User");
    control.AddCode(
        u"Global",
        u"Dim shared : shared = \"global\"\nFunction FromGlobal() : FromGlobal = 1 : End Function");
    control.AddCode(
        u"System",
        u"Dim own : own = shared & \"+system\"\nFunction Sys() : Sys = own & FromGlobal() : End Function");
    control.AddCode(u"$User", u"Function Sys() : Sys = \"user\" : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Sys")), "global+system1");
    EXPECT_EQ(Text(control.Run(u"$user", u"Sys")), "user");
    // Global does not see the names of other modules.
    EXPECT_TRUE(control.Eval(u"Global", u"own").IsEmpty());
    EXPECT_TRUE(control.HasModule(u"$USER"));
    EXPECT_EQ(control.ModuleNames().size(), 3u);
}

TEST_F(ScriptControlTest, AModuleCallsTheNewestProcedureOfGlobalUntilItDefinesItsOwn) {
    control.AddModule(u"System");
    control.AddCode(u"Global", u"Function Helper(n) : Helper = \"global \" & n : End Function");
    control.AddCode(u"System", u"Function Page() : Page = Helper(1) & \", \" & Helper(2) : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "global 1, global 2");
    control.AddCode(u"Global", u"Function Helper(n) : Helper = \"new \" & n : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "new 1, new 2");
    control.AddCode(u"System", u"Function Helper(n) : Helper = \"own \" & n : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "own 1, own 2");
}

TEST_F(ScriptControlTest, AddModuleTwiceReturnsTheSameModule) {
    ScriptModule first = control.AddModule(u"Validate");
    first.AddCode(u"Dim v : v = 1");
    ScriptModule second = control.AddModule(u"validate");
    EXPECT_EQ(Text(second.Eval(u"v")), "1");
    EXPECT_THROW(control.Module(u"Nowhere"), automation::Error);
}

TEST_F(ScriptControlTest, ProcedureNamesKeepDefinitionOrderAndRedefinitionReplaces) {
    ScriptModule system = control.AddModule(u"System");
    system.AddCode(u"Function kqScriptEngine() : kqScriptEngine = \"first\" : End Function\n"
                   u"Sub LoadCurrent(t) : End Sub\nSub Helper() : End Sub");
    system.AddCode(u"Function kqScriptEngine()\r\nkqScriptEngine = \"second\"\r\nEnd Function");
    EXPECT_EQ(Text(system.Run(u"kqScriptEngine")), "second");
    std::vector<std::u16string> names = system.ProcedureNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], u"kqScriptEngine");
    EXPECT_EQ(names[1], u"LoadCurrent");
    EXPECT_EQ(names[2], u"Helper");
}

TEST_F(ScriptControlTest, CodeCompiledEarlierCallsTheNewestDefinition) {
    control.AddCode(u"Global", u"Function Page() : Page = Body() : End Function\n"
                               u"Function Body() : Body = \"old\" : End Function");
    control.AddCode(u"Global", u"Function Body() : Body = \"new\" : End Function");
    EXPECT_EQ(Text(control.Run(u"Global", u"Page")), "new");
}

// Generation adds the same page script once per page; the engine reuses what it compiled, and
// every run must behave as if the text had been compiled afresh.
TEST_F(ScriptControlTest, TextAddedAgainRedefinesItsProceduresAndRunsItsStatementsAgain) {
    control.AddModule(u"System");
    const std::u16string page = u"runs = runs + 1\nFunction Page() : Page = \"page \" & runs : End Function";
    control.AddCode(u"System", page);
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "page 1");
    control.AddCode(u"System", u"Function Page() : Page = \"replaced\" : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "replaced");
    control.AddCode(u"System", page);
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "page 2");
    control.AddCode(u"System", page + u"\nruns = runs * 10");
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "page 30");
    control.AddCode(u"System", page);
    EXPECT_EQ(Text(control.Run(u"System", u"Page")), "page 31");
}

TEST_F(ScriptControlTest, TextAddedAgainFailsAtTheSamePlaceEveryTime) {
    control.AddModule(u"System");
    const std::u16string page = u"Dim items(2)\nn = 1\nitems(n + 5) = 0\nn = 2";
    for (int attempt = 0; attempt < 2; ++attempt) {
        ScriptError error = Failing(u"System", page);
        EXPECT_EQ(error.number, 9);
        EXPECT_EQ(error.line, 3);
        EXPECT_EQ(Text(control.Eval(u"System", u"n")), "1");
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        ScriptError error = Failing(u"System", u"n = 3\nIf n Then x = 1 End");
        EXPECT_EQ(error.number, 1025);
        EXPECT_EQ(error.line, 2);
        EXPECT_EQ(Text(control.Eval(u"System", u"n")), "1");
    }
}

TEST_F(ScriptControlTest, TextAddedAgainSeesNamesDefinedSinceItWasCompiled) {
    control.AddModule(u"System");
    control.AddCode(u"Global", u"Const Rate = 2");
    const std::u16string page = u"Function Price() : Price = Rate * Factor(10) : End Function";
    control.AddCode(u"System", page);
    EXPECT_THROW(control.Run(u"System", u"Price"), automation::Error);
    control.AddCode(u"System", u"Function Factor(n) : Factor = n : End Function");
    control.AddCode(u"System", page);
    EXPECT_EQ(Text(control.Run(u"System", u"Price")), "20");
    // A module variable of the same name hides the Global constant folded into the first compile.
    control.AddCode(u"System", u"Dim Rate : Rate = 3");
    control.AddCode(u"System", page);
    EXPECT_EQ(Text(control.Run(u"System", u"Price")), "30");
}

TEST_F(ScriptControlTest, NamedObjectsAreVisibleFromEveryModule) {
    auto host = MakeRef<ScriptTestHost>();
    control.AddObject(u"PROJ", host);
    control.AddModule(u"System");
    control.AddCode(u"System", u"Function Count() : Count = PROJ.Items.Count : End Function");
    EXPECT_EQ(Text(control.Run(u"System", u"Count")), "3");
    EXPECT_EQ(Text(control.Eval(u"Global", u"PROJ.Tables(\"Orders\").Name")), "Orders");
    // Without its members as globals, a member name alone is unknown.
    EXPECT_TRUE(control.Eval(u"Global", u"IsEmpty(Counter)").BooleanValue());
    EXPECT_THROW(control.AddObject(u"proj", host), automation::Error);
}

TEST_F(ScriptControlTest, NamedObjectMembersBecomeGlobalsWhenAsked) {
    auto host = MakeRef<ScriptTestHost>();
    control.AddObject(u"Host", host, /*addMembers=*/true);
    control.AddModule(u"System");
    control.AddCode(u"System", u"Counter = 5\nSub Bump() : Counter = Counter + 1 : End Sub\nBump");
    EXPECT_EQ(host->Counter(), 6);
    EXPECT_EQ(Text(control.Eval(u"System", u"Items(2)")), "30");
    EXPECT_EQ(Text(control.Eval(u"Global", u"Sum(1, 2)")), "3");
}

TEST_F(ScriptControlTest, ScriptsDefineNamesThatShadowHostMembers) {
    auto host = MakeRef<ScriptTestHost>();
    control.AddObject(u"Host", host, /*addMembers=*/true);
    control.AddCode(u"Global", u"Function Sum(a, b) : Sum = \"script\" : End Function");
    EXPECT_EQ(Text(control.Eval(u"Global", u"Sum(1, 2)")), "script");
}

TEST_F(ScriptControlTest, ResetDropsModulesObjectsGlobalsAndCode) {
    control.AddObject(u"Host", MakeRef<ScriptTestHost>());
    control.AddModule(u"System").AddCode(u"Sub S() : End Sub");
    control.AddCode(u"Global", u"Dim g : g = 1\nFunction F() : F = 2 : End Function");
    control.Reset();
    EXPECT_FALSE(control.HasModule(u"System"));
    EXPECT_TRUE(control.HasModule(u"Global"));
    EXPECT_TRUE(control.Eval(u"Global", u"IsEmpty(g)").BooleanValue());
    EXPECT_TRUE(control.Eval(u"Global", u"IsEmpty(Host)").BooleanValue());
    EXPECT_THROW(control.Run(u"Global", u"F"), automation::Error);
    // The same name may be added again after a reset.
    control.AddObject(u"Host", MakeRef<ScriptTestHost>());
}

TEST_F(ScriptControlTest, ScriptObjectsOutlivingAResetFailCleanly) {
    control.AddCode(u"Global",
                    u"Class C\r\nPublic Function Hello() : Hello = 1 : End Function\r\nEnd Class\r\n"
                    u"Dim keep : Set keep = New C");
    Variant kept = control.Eval(u"Global", u"keep");
    ASSERT_TRUE(kept.IsObject());
    EXPECT_EQ(Text(automation::CallByName(*kept.ObjectValue(), u"Hello", automation::InvokeRead)), "1");
    control.Reset();
    EXPECT_THROW(automation::CallByName(*kept.ObjectValue(), u"Hello", automation::InvokeRead),
                 automation::Error);
}

// A script object (or procedure reference) the host kept past its engine's reset or end, given
// back to a script: its methods ran on the freed module, reading freed memory or a later
// engine's variables, and what they made went there too. Every way a script reaches it fails as
// the host's calls do, or treats it as an object whose members are gone; its Class_Terminate
// never runs.
TEST_F(ScriptControlTest, ScriptObjectsKeptPastTheirEngineFailCleanlyInScripts) {
    const std::u16string code =
        u"Dim g1, g2, g3\r\ng1 = \"A\"\r\nClass N\r\nPublic f\r\n"
        u"Public Default Function Hello : Hello = \"hi \" & g1 : End Function\r\n"
        u"Public Function Make : Set Make = New N : End Function\r\n"
        u"Public Property Get P : P = g2 : End Property\r\n"
        u"Public Property Let P(v) : g2 = v : End Property\r\n"
        u"Public Property Set Q(v) : Set g3 = v : End Property\r\n"
        u"Sub Class_Terminate : Host.Write \"gone\" : End Sub\r\nEnd Class\r\n"
        u"Function Twice(v) : Twice = 2 * v : End Function\r\n"
        u"Set inst = New N : Set fn = GetRef(\"Twice\")\r\n"
        u"Set dict = CreateObject(\"Scripting.Dictionary\") : dict.Add \"k\", inst\r\n"
        u"Set re = New RegExp : re.Pattern = \"b+\"\r\n";
    // A statement on the kept objects Old, OldFn, OldDict and OldRe, and its error (0: none, and r
    // is `result`). The library's objects hold nothing of their engine and go on working.
    const struct {
        const char16_t* statement;
        std::int32_t number;
        const char* result;
    } cases[] = {
        {u"r = Old.Hello", 438, ""},
        {u"Set r = Old.Make", 438, ""},
        {u"r = Old.P", 438, ""},
        {u"Old.P = 1", 438, ""},
        {u"Set Old.Q = Nothing", 438, ""},
        {u"Old.f = 1", 438, ""},
        {u"r = Old.f", 438, ""},
        {u"r = Old", 438, ""},
        {u"r = Old()", 438, ""},
        {u"Old", 438, ""},
        {u"r = \"a\" & Old", 438, ""},
        {u"r = Old = 1", 438, ""},
        {u"With Old : r = .Hello : End With", 438, ""},
        {u"Sub Use(o)\r\nr = o.Make.Hello\r\nEnd Sub\r\nUse Old", 438, ""},
        {u"r = OldFn(2)", 438, ""},
        {u"OldFn 2", 438, ""},
        {u"For Each e In Old : Next", 451, ""},
        {u"r = TypeName(Old) & IsObject(Old) & (Old Is Old) & (Old Is Nothing)", 0, "NTrueTrueFalse"},
        {u"Function Take(o) : Set Take = o : End Function\r\nr = TypeName(Take(Old))", 0, "N"},
        {u"r = OldDict(\"k\").Hello", 438, ""},
        {u"r = OldDict.Count & TypeName(OldDict(\"k\")) & OldRe.Replace(\"abbc\", \"-\")", 0, "1Na-c"},
    };
    for (const bool destroyed : {false, true}) {
        SCOPED_TRACE(destroyed ? "engine destroyed" : "engine reset");
        auto host = MakeRef<ScriptTestHost>();
        auto engine = std::make_unique<ScriptControl>();
        engine->AddObject(u"Host", host);
        engine->AddCode(u"Global", code);
        Variant inst = engine->Eval(u"Global", u"inst");
        Variant fn = engine->Eval(u"Global", u"fn");
        Variant dict = engine->Eval(u"Global", u"dict");
        Variant re = engine->Eval(u"Global", u"re");
        if (destroyed) {
            engine.reset();
            engine = std::make_unique<ScriptControl>();
        } else {
            engine->Reset();
        }
        engine->AddObject(u"Old", inst.ObjectValue());
        engine->AddObject(u"OldFn", fn.ObjectValue());
        engine->AddObject(u"OldDict", dict.ObjectValue());
        engine->AddObject(u"OldRe", re.ObjectValue());
        // Variables of its own where the freed ones lay.
        engine->AddCode(u"Global", u"Dim v1, v2, v3, v4, v5, v6, v7, v8 : v1 = 1 : v8 = \"B\"");
        for (const auto& row : cases) {
            SCOPED_TRACE(ToUtf8(row.statement));
            try {
                engine->AddCode(u"Global", std::u16string(u"r = Empty\r\n") + row.statement);
                EXPECT_EQ(row.number, 0);
                EXPECT_EQ(Text(engine->Eval(u"Global", u"r")), row.result);
            } catch (const automation::Error& error) {
                EXPECT_EQ(error.Number(), row.number);
            }
        }
        EXPECT_THROW(automation::CallByName(*inst.ObjectValue(), u"Hello", automation::InvokeRead),
                     automation::Error);
        inst = fn = dict = re = Variant();
        engine->AddCode(u"Global", u"v1 = 2");
        engine.reset();
        EXPECT_EQ(ToUtf8(host->Output()), "");
    }
    // An object of an engine that is still there runs in its own engine, on its own variables.
    ScriptControl other;
    other.AddObject(u"Host", MakeRef<ScriptTestHost>());
    other.AddCode(u"Global", code);
    control.AddObject(u"Other", other.Eval(u"Global", u"inst").ObjectValue());
    control.AddCode(u"Global", u"Dim g1 : g1 = \"B\" : r = Other.Hello & Other() & Other.Make.Hello");
    EXPECT_EQ(Text(control.Eval(u"Global", u"r")), "hi Ahi Ahi A");
}

// The host reads or writes an element of a script object's array field with a subscript whose
// default value empties that field: the element was looked up in the freed array. The call now
// fails as one on the field's new value does.
TEST_F(ScriptControlTest, AHostSubscriptThatFreesTheIndexedArrayFailsCleanly) {
    control.AddCode(u"Global", u"Class Holder\r\nPublic f\r\nEnd Class\r\n"
                               u"Class Idx\r\nPublic Default Property Get V\r\nh.f = Empty : V = 1\r\n"
                               u"End Property\r\nEnd Class\r\n"
                               u"Dim h : Set h = New Holder : Dim o : Set o = New Idx\r\n");
    Variant holder = control.Eval(u"Global", u"h");
    Variant index = control.Eval(u"Global", u"o");
    const struct {
        automation::InvokeKind kind;
        std::vector<Variant> args;
        std::int32_t number;
    } cases[] = {
        {automation::InvokeRead, {index}, 424},
        {automation::InvokeKind::PropertyLet, {index, Variant(std::int32_t{5})}, 13},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.number);
        control.ExecuteStatement(u"Global", u"h.f = Array(1, 2, 3)");
        try {
            automation::CallByName(*holder.ObjectValue(), u"f", row.kind, row.args);
            ADD_FAILURE() << "no error";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), row.number);
        }
        EXPECT_TRUE(control.Eval(u"Global", u"IsEmpty(h.f)").BooleanValue());
    }
}

TEST_F(ScriptControlTest, SyntaxErrorRecordsNumberPlaceAndLineText) {
    ScriptError error = Failing(u"Global", u"Dim a\r\nIf a Then\r\n  a = (1 + \r\nEnd If");
    EXPECT_EQ(error.number, 1023);
    EXPECT_EQ(ToUtf8(error.description), "Expected expression");
    EXPECT_EQ(ToUtf8(error.source), "VBScript compilation error");
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(error.column, 12);
    EXPECT_EQ(ToUtf8(error.text), "  a = (1 + ");
}

TEST_F(ScriptControlTest, ASyntaxErrorLeavesTheModuleAsItWas) {
    control.AddCode(u"Global", u"Function F() : F = \"kept\" : End Function");
    Failing(u"Global", u"Function F() : F = \"new\" : End Function\nx = = 1");
    EXPECT_EQ(Text(control.Run(u"Global", u"F")), "kept");
}

TEST_F(ScriptControlTest, RuntimeErrorRecordsTheFailingLine) {
    control.AddCode(u"Global", u"Function kqScriptEngine()\r\n  Dim x\r\n  x = 1 / 0\r\nEnd Function");
    EXPECT_THROW(control.Run(u"Global", u"kqScriptEngine"), automation::Error);
    const ScriptError& error = control.Error();
    EXPECT_EQ(error.number, 11);
    EXPECT_EQ(ToUtf8(error.description), "Division by zero");
    EXPECT_EQ(ToUtf8(error.source), "VBScript runtime error");
    EXPECT_EQ(error.line, 3);
    EXPECT_EQ(ToUtf8(error.text), "  x = 1 / 0");
}

TEST_F(ScriptControlTest, ASuccessfulCallClearsTheError) {
    control.AddCode(u"Global", u"Sub Fails() : Err.Raise 7 : End Sub\nSub Works() : End Sub");
    EXPECT_THROW(control.Run(u"Global", u"Fails"), automation::Error);
    EXPECT_EQ(control.Error().number, 7);
    control.Run(u"Global", u"Works");
    EXPECT_FALSE(control.Error().IsSet());
}

TEST_F(ScriptControlTest, HostErrorsKeepTheirNumberAndText) {
    control.AddObject(u"Test", MakeRef<ScriptTestHost>());
    ScriptError error = Failing(u"Global", u"x = Test.Items(42)");
    EXPECT_EQ(error.number, 9);
    EXPECT_EQ(error.line, 1);
    EXPECT_EQ(ToUtf8(error.text), "x = Test.Items(42)");
}

TEST_F(ScriptControlTest, ErrorsInsideScriptObjectsCalledByTheHostKeepTheirPlace) {
    control.AddCode(
        u"Global", u"Class C\r\nPublic Default Property Get V()\r\nV = 1 / 0\r\nEnd Property\r\nEnd Class\r\n"
                   u"Dim o : Set o = New C");
    // The default value is read by the conversion layer, which calls back into the script.
    ScriptError error = Failing(u"Global", u"Dim s : s = \"<\" & o");
    EXPECT_EQ(error.number, 11);
    EXPECT_EQ(error.line, 3);
}

TEST_F(ScriptControlTest, TimeoutStopsALoopEvenUnderOnErrorResumeNext) {
    control.SetTimeout(100);
    auto start = std::chrono::steady_clock::now();
    ScriptError error = Failing(u"Global", u"On Error Resume Next\r\nDo\r\nx = x + 1\r\nLoop");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error.number, TimeoutErrorNumber);
    EXPECT_EQ(ToUtf8(error.description), "Script execution timed out");
    EXPECT_GE(error.line, 2);
    EXPECT_LT(elapsed, GenerousLimit);
    // The engine is usable afterwards.
    EXPECT_EQ(Text(control.Eval(u"Global", u"1 + 1")), "2");
}

TEST_F(ScriptControlTest, TimeoutCoversRecursionAndStopsInsideCallees) {
    control.SetTimeout(100);
    control.AddCode(u"Global", u"Sub Spin()\r\nOn Error Resume Next\r\nWhile True : Wend\r\nEnd Sub");
    EXPECT_THROW(control.Run(u"Global", u"Spin"), automation::Error);
    EXPECT_EQ(control.Error().number, TimeoutErrorNumber);
}

TEST_F(ScriptControlTest, TimeoutStopsAForLoopWhoseBodyResetsTheCounter) {
    // Next jumps back by itself, for a local counter as for a global one; the jump still checks
    // the time-out.
    control.SetTimeout(100);
    for (const char16_t* code :
         {u"Dim i\r\nFor i = 1 To 2 : i = 0 : Next",
          u"Sub Spin()\r\nDim i\r\nFor i = 1 To 2 : i = 0 : Next\r\nEnd Sub\r\nSpin"}) {
        SCOPED_TRACE(ToUtf8(code));
        ScriptError error = Failing(u"Global", code);
        EXPECT_EQ(error.number, TimeoutErrorNumber);
    }
}

// A library call whose work grows with its input ran to its end, out of reach of the checks on
// backward jumps and calls: a global search over twenty million characters went on for seconds
// past the run's time-out. The subject is made before the time-out is set, so that only the call
// can meet it.
TEST_F(ScriptControlTest, TimeoutStopsALongLibraryCall) {
    control.AddCode(u"Global",
                    u"Dim re, s, m\r\nSet re = New RegExp\r\nre.Global = True\r\nre.Pattern = \"a\"\r\n"
                    u"s = String(20000000, \"a\")");
    // A ceiling of its own: on a machine with little memory the default one could stop the calls
    // before the time-out does.
    control.SetMemoryCeiling(std::size_t{1} << 30);
    control.SetTimeout(50);
    for (const char16_t* call :
         {u"Set m = re.Execute(s)", u"m = re.Replace(s, \"bb\")", u"m = Split(s, \"a\")"}) {
        SCOPED_TRACE(ToUtf8(call));
        ScriptError error = Failing(u"Global", u"On Error Resume Next\r\n" + std::u16string(call));
        EXPECT_EQ(error.number, TimeoutErrorNumber);
        EXPECT_EQ(error.line, 2);
    }
    // Calls that copy much of a text at each step (a replacement, an element): the copies of one
    // call passed the ceiling (7, which On Error Resume Next let by) before the clock was read.
    control.SetTimeout(10);
    for (const char16_t* call : {u"m = re.Replace(s, \"$'\")", u"m = Replace(Left(s, 100), \"a\", s)",
                                 u"m = Join(Split(Replace(Space(99), \" \", \",\"), \",\"), s)",
                                 u"re.Global = False : re.Pattern = \"^a*$\"\r\nm = re.Replace(s, "
                                 u"Replace(Space(100), \" \", \"$&\"))"}) {
        SCOPED_TRACE(ToUtf8(call));
        ScriptError error = Failing(u"Global", u"On Error Resume Next\r\n" + std::u16string(call));
        EXPECT_EQ(error.number, TimeoutErrorNumber);
    }
    control.SetTimeout(0);
    EXPECT_EQ(Text(control.Eval(u"Global", u"IsEmpty(m)")), "True");
}

// The time-out started once the host's code was compiled: code and expressions the host gave took
// their seconds to compile, whatever the time-out. Half a million terms take far longer to compile
// than the time-out allows.
TEST_F(ScriptControlTest, TimeoutCoversCompilingWhatTheHostGives) {
    std::u16string statements = u"If False Then\r\n";
    std::u16string expression = u"0";
    for (int term = 0; term < (1 << 19); ++term) {
        statements += u"x = x + 1\r\n";
        expression += u" + x";
    }
    statements += u"End If\r\nDone = True";
    control.SetTimeout(10);
    EXPECT_EQ(Failing(u"Global", statements).number, TimeoutErrorNumber);
    EXPECT_THROW(control.Eval(u"Global", expression), automation::Error);
    EXPECT_EQ(control.Error().number, TimeoutErrorNumber);
    control.SetTimeout(0);
    EXPECT_EQ(Text(control.Eval(u"Global", u"IsEmpty(Done)")), "True");
}

TEST_F(ScriptControlTest, ZeroOrNegativeTimeoutMeansNone) {
    for (std::int32_t timeout : {0, -1}) {
        SCOPED_TRACE(timeout);
        control.SetTimeout(timeout);
        control.AddCode(u"Global", u"Dim i, n : n = 0 : For i = 1 To 200000 : n = n + 1 : Next");
        EXPECT_EQ(Text(control.Eval(u"Global", u"n")), "200000");
    }
}

TEST_F(ScriptControlTest, DeepRecursionIsAnErrorNotACrash) {
    control.AddCode(u"Global", u"Function Down(n) : Down = Down(n + 1) : End Function");
    std::vector<Variant> start{Variant(std::int32_t(0))};
    EXPECT_THROW(control.Run(u"Global", u"Down", start), automation::Error);
    EXPECT_EQ(control.Error().number, 28);
    // Recursion through the host: a script object's default value read by the conversions.
    control.AddCode(u"Global",
                    u"Class Loopy\r\nPublic Default Property Get V() : V = \"x\" & Me : End Property\r\n"
                    u"End Class");
    ScriptError error = Failing(u"Global", u"Dim l : Set l = New Loopy : s = \"\" & l");
    EXPECT_EQ(error.number, 28);
}

TEST_F(ScriptControlTest, LanguageIsVBScriptOnly) {
    EXPECT_EQ(control.Language(), u"VBScript");
    control.SetLanguage(u"vbscript");
    EXPECT_THROW(control.SetLanguage(u"JScript"), automation::Error);
}

TEST_F(ScriptControlTest, ExecuteStatementAndEvalWorkInAModule) {
    ScriptModule system = control.AddModule(u"System");
    system.ExecuteStatement(u"Dim total : total = 3");
    system.ExecuteStatement(u"total = total * 5");
    EXPECT_EQ(Text(system.Eval(u"total")), "15");
    EXPECT_THROW(system.Eval(u"total +"), automation::Error);
    EXPECT_EQ(control.Error().number, 1023);
}

TEST_F(ScriptControlTest, ClassTerminateRunsForObjectsReleasedByTheHost) {
    control.AddCode(u"Global",
                    u"Dim log\r\nClass T\r\nSub Class_Terminate() : log = log & \"gone\" : End Sub\r\n"
                    u"End Class\r\nFunction Make() : Set Make = New T : End Function");
    {
        Variant held = control.Run(u"Global", u"Make");
        EXPECT_TRUE(control.Eval(u"Global", u"IsEmpty(log)").BooleanValue());
    }
    // Released outside any run: the next run lets it end first.
    EXPECT_EQ(Text(control.Eval(u"Global", u"log")), "gone");
}

// Objects the scripts still hold when the engine ends are released, and their Class_Terminate
// runs, on Reset and when the control goes; it used to be skipped.
TEST_F(ScriptControlTest, ClassTerminateRunsForObjectsAliveWhenTheEngineEnds) {
    const std::u16string code = u"Class T\r\nPublic Name\r\n"
                                u"Sub Class_Terminate() : Host.Write \"gone:\" & Name & \";\" : End Sub\r\n"
                                u"End Class\r\nDim a, b(1)\r\nSet a = New T : a.Name = \"a\"\r\n"
                                u"Set b(1) = New T : b(1).Name = \"b\"\r\n";
    auto host = MakeRef<ScriptTestHost>();
    control.AddObject(u"Host", host);
    control.AddCode(u"Global", code);
    EXPECT_EQ(ToUtf8(host->Output()), "");
    control.Reset();
    EXPECT_EQ(ToUtf8(host->Output()), "gone:a;gone:b;");

    auto second = MakeRef<ScriptTestHost>();
    {
        ScriptControl scoped;
        scoped.AddObject(u"Host", second);
        scoped.AddCode(u"Global", code);
    }
    EXPECT_EQ(ToUtf8(second->Output()), "gone:a;gone:b;");

    // They run in the time the last run left: what the host did since is not theirs.
    auto third = MakeRef<ScriptTestHost>();
    control.SetTimeout(1000);
    control.AddObject(u"Host", third);
    control.AddCode(u"Global",
                    u"Class L\r\nSub Class_Terminate()\r\nDo While n < 3 : n = n + 1 : Host.Write n : "
                    u"Loop\r\nEnd Sub\r\nEnd Class\r\nDim keep : Set keep = New L\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    control.Reset();
    EXPECT_EQ(ToUtf8(third->Output()), "123");
}

// The memory ceiling is the control's: a script over it gets 7 and the control goes on.
TEST_F(ScriptControlTest, MemoryCeilingTurnsHugeAllocationsIntoErrorSeven) {
    control.SetMemoryCeiling(std::size_t{16} << 20);
    EXPECT_EQ(control.MemoryCeiling(), std::size_t{16} << 20);
    EXPECT_EQ(Failing(u"Global", u"Dim s : s = Space(10000000)").number, 7);
    EXPECT_EQ(control.Error().description, u"Out of memory");
    control.AddCode(u"Global", u"Dim t : t = Space(1000000)");
    control.SetMemoryCeiling(0);
    EXPECT_EQ(control.MemoryCeiling(), automation::DefaultMemoryCeiling());
    control.AddCode(u"Global", u"Dim u : u = Space(10000000)");
}

// Objects that hold each other outlived their engine, and the memory they held stayed on the
// thread's count: with a 64 MB ceiling a fresh engine failed at once with 7 after eight runs.
// What a run made goes when its engine is destroyed or reset, whatever cycle it is in (class
// instances, dictionaries, arrays between them); what the host still holds stays.
TEST_F(ScriptControlTest, ObjectsInCyclesGoWithTheirEngine) {
    const std::u16string code = u"Class N\r\nPublic other, s\r\nEnd Class\r\n"
                                u"Set a = New N : Set b = New N : Set a.other = b : Set b.other = a\r\n"
                                u"a.s = String(4000000, \"x\")\r\n"
                                u"Set c = New N : Set e = New N : c.other = Array(e) : Set e.other = c\r\n"
                                u"Set e.s = New N : e.s.s = String(4000000, \"y\")\r\n"
                                u"Set d = CreateObject(\"Scripting.Dictionary\") : d.Add \"self\", d\r\n"
                                u"d.Add \"text\", String(4000000, \"z\")\r\n";
    constexpr std::size_t Ceiling = std::size_t{64} << 20;
    const std::size_t inUse = automation::MemoryInUse();
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        {
            ScriptControl engine;
            engine.SetMemoryCeiling(Ceiling);
            EXPECT_NO_THROW(engine.AddCode(u"Global", code)) << ToUtf8(engine.Error().description);
        }
        EXPECT_EQ(automation::MemoryInUse(), inUse);
    }
    control.SetMemoryCeiling(Ceiling);
    Variant kept;
    // Instances the host holds in a cycle at the reset: they kept each other, and their text,
    // after the host let go.
    std::vector<Variant> keptInstances;
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        EXPECT_NO_THROW(control.AddCode(u"Global", code)) << ToUtf8(control.Error().description);
        if (run == 0) {
            kept = control.Eval(u"Global", u"d");
        }
        keptInstances.push_back(control.Eval(u"Global", run % 2 == 0 ? u"a" : u"e"));
        control.Reset();
        if (run % 3 == 2) {
            keptInstances.clear();
        }
    }
    keptInstances.clear();
    // Objects in a cycle are freed without their Class_Terminate, which never ran for them.
    auto host = MakeRef<ScriptTestHost>();
    {
        ScriptControl engine;
        engine.AddObject(u"Host", host);
        engine.AddCode(u"Global", u"Class T\r\nPublic other\r\n"
                                  u"Sub Class_Terminate() : Host.Write \"gone\" : End Sub\r\nEnd Class\r\n"
                                  u"Set a = New T : Set a.other = a\r\n");
    }
    EXPECT_EQ(ToUtf8(host->Output()), "");
    // A dictionary the host holds keeps what it holds, its own cycle included.
    auto& dictionary = *kept.ObjectValue();
    EXPECT_EQ(Text(automation::CallByName(dictionary, u"Count", automation::InvokeRead)), "2");
    Variant self = automation::CallByName(dictionary, u"Item", automation::InvokeRead, {Variant(u"self")});
    EXPECT_EQ(self.ObjectValue().Get(), &dictionary);
    // The host ends the cycle it keeps.
    automation::CallByName(dictionary, u"RemoveAll", automation::InvokeKind::Method);
    kept = self = Variant();
    EXPECT_EQ(automation::MemoryInUse(), inUse);
}

// The page hot path: kqOut = kqOut & piece must not copy the growing text, so a loop of appends
// grows linearly. A copying engine copies terabytes for a million pieces and needs hours, a linear
// one a fraction of a second: only the copying one reaches the generous bound.
TEST_F(ScriptControlTest, AppendingAMillionPiecesIsLinear) {
    control.AddCode(u"Global",
                    u"Function kqScriptEngine()\r\nDim kqOut, i, kqAr(1)\r\nkqAr(1) = \"<td>cell</td>\"\r\n"
                    u"For i = 1 To 1000000\r\nkqOut = kqOut & kqAr(1) & i\r\nNext\r\n"
                    u"kqScriptEngine = kqOut\r\nEnd Function\r\n"
                    u"Dim gOut, j\r\nFor j = 1 To 1000000 : gOut = gOut & \"0123456789\" : Next");
    auto start = std::chrono::steady_clock::now();
    Variant page = control.Run(u"Global", u"kqScriptEngine");
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(page.StringValue().size(), 1000000u * 13 + 5888896u);
    EXPECT_LT(elapsed, GenerousLimit);
    EXPECT_EQ(Text(control.Eval(u"Global", u"Len(gOut)")), "10000000");
}

} // namespace
} // namespace qv::vbscript::test

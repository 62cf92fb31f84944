// Golden disassembly of the compiler's folds: constants, many-operand concatenation, in-place
// append, and names resolved to slots instead of looked up at run time.

#include "platform/vbscript/internal/Compiler.h"
#include "platform/vbscript/internal/Disassembler.h"
#include "platform/vbscript/internal/Parser.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

namespace qv::vbscript {
namespace {

using automation::MakeRef;
using automation::Ref;

/// One chunk compiled into a fresh module.
class Compiled {
public:
    explicit Compiled(std::u16string_view text) : mSource(MakeRef<SourceText>(std::u16string(text))) {
        Parser parser(mSource->Text());
        Program program = parser.ParseProgram();
        Compiler compiler(CompileTarget{*mNames, mBuiltins, mModule, mModule}, mSource);
        mChunk = compiler.CompileChunk(program);
    }

    std::string TopLevel() const { return Disassemble(*mChunk.topLevel, *mNames, mBuiltins); }
    std::string ProcedureCode(std::u16string_view name) const {
        for (const auto& procedure : mChunk.procedures) {
            if (procedure->code->name == name) {
                return Disassemble(*procedure->code, *mNames, mBuiltins);
            }
        }
        for (const auto& cls : mChunk.classes) {
            for (const ClassMember& member : cls->members) {
                for (const vbscript::Procedure* procedure :
                     {member.method.Get(), member.get.Get(), member.let.Get()}) {
                    if (procedure && procedure->code->name == name) {
                        return Disassemble(*procedure->code, *mNames, mBuiltins);
                    }
                }
            }
        }
        ADD_FAILURE() << "no procedure " << automation::ToUtf8(name);
        return {};
    }

private:
    Ref<NameTable> mNames = MakeRef<NameTable>();
    BuiltinRegistry mBuiltins;
    Module mModule{u"Global"};
    Ref<SourceText> mSource;
    CompiledChunk mChunk;
};

TEST(CompilerFolds, ConstantsAndLiteralExpressionsBecomeOneConstant) {
    Compiled code(u"Const Base = 10\nDim x\nx = (1 + 2) * Base & \"px\"\nx = -Base ^ 2\nx = Not (3 > 2)");
    EXPECT_EQ(code.TopLevel(), "0000  PushConst    \"30px\"\n"
                               "0001  Store        global 1 (x)\n"
                               "0002  PushConst    Double 100\n"
                               "0003  Store        global 1 (x)\n"
                               "0004  PushConst    False\n"
                               "0005  Store        global 1 (x)\n"
                               "0006  Return\n");
}

TEST(CompilerFolds, ExpressionsThatWouldFailAreLeftToRunTime) {
    // Folding 1 / 0 would turn a runtime error (with its line, catchable) into nothing.
    Compiled code(u"Dim x\nx = 1 / 0\nx = CLng(\"1\")");
    EXPECT_EQ(code.TopLevel(), "0000  PushConst    Integer 1\n"
                               "0001  DivideConst  Integer 0\n"
                               "0002  Store        global 0 (x)\n"
                               "0003  PushConst    \"1\"\n"
                               "0004  CallBuiltin  CLng argc=1\n"
                               "0005  Store        global 0 (x)\n"
                               "0006  Return\n");
}

TEST(CompilerFolds, AComparisonWhoseTypingWouldFailIsLeftToRunTime) {
    // The hard typing of a literal operand raised out of the compiler once, stopping the whole
    // script; "abc" + 1 must raise where it stands, and two literals compare without converting.
    Compiled code(u"Dim x\nx = \"abc\" + 1 = 2\nx = \"abc\" = 5");
    EXPECT_EQ(code.TopLevel(), "0000  PushConst    \"abc\"\n"
                               "0001  AddConst     Integer 1\n"
                               "0002  EqualConst   Integer 2 number-literal\n"
                               "0003  Store        global 0 (x)\n"
                               "0004  PushConst    False\n"
                               "0005  Store        global 0 (x)\n"
                               "0006  Return\n");
}

TEST(CompilerFolds, AConcatenationChainIsOneInstruction) {
    Compiled code(u"Dim a, b, y\ny = a & \"-\" & \"-\" & b & 1 & 2 & vbCrLf");
    EXPECT_EQ(code.TopLevel(), "0000  CallName     global 0 (a) argc=0\n"
                               "0001  PushConst    \"--\"\n"
                               "0002  CallName     global 1 (b) argc=0\n"
                               "0003  PushConst    \"12\\r\\n\"\n"
                               "0004  Concat       n=4\n"
                               "0005  Store        global 2 (y)\n"
                               "0006  Return\n");
}

TEST(CompilerFolds, AppendingToTheSameVariableIsInPlace) {
    Compiled code(u"Function kqScriptEngine()\n"
                  u"Dim kqAr(2), kqOut\n"
                  u"kqOut = kqOut & kqAr(1) & \"<td>\" & \"</td>\"\n"
                  u"kqScriptEngine = kqOut\n"
                  u"End Function");
    EXPECT_EQ(code.ProcedureCode(u"kqScriptEngine"), "0000  DimArray     local 1 (kqAr) bounds=2\n"
                                                     "0001  Load         local 2 (kqOut)\n"
                                                     "0002  PushConst    Integer 1\n"
                                                     "0003  CallName     local 1 (kqAr) argc=1\n"
                                                     "0004  PushConst    \"<td></td>\"\n"
                                                     "0005  Append       local 2 (kqOut) pieces=2\n"
                                                     "0006  Load         local 2 (kqOut)\n"
                                                     "0007  Store        local 0 (kqScriptEngine)\n"
                                                     "0008  Return\n");
}

TEST(CompilerFolds, OnlyTheSameVariableOnTheLeftAppends) {
    Compiled code(u"Dim s, t\ns = t & \"x\"\ns = \"x\" & s\nSet s = s");
    std::string listing = code.TopLevel();
    EXPECT_EQ(listing.find("Append"), std::string::npos) << listing;
}

TEST(CompilerNames, LocalsParametersFieldsAndMembersAreSlots) {
    Compiled code(u"Class Account\n"
                  u"Private mBalance\n"
                  u"Public Property Get Balance() : Balance = mBalance : End Property\n"
                  u"Public Sub Deposit(ByVal amount)\n"
                  u"  Const Fee = 1\n"
                  u"  Dim net : net = amount - Fee\n"
                  u"  mBalance = Balance + net\n"
                  u"  Me.Log net\n"
                  u"End Sub\n"
                  u"Private Sub Log(x) : End Sub\n"
                  u"End Class");
    EXPECT_EQ(code.ProcedureCode(u"Deposit"), "0000  SubtractLocalConst local 0 (amount), Integer 1\n"
                                              "0001  Store        local 2 (net)\n"
                                              "0002  PushMe\n"
                                              "0003  CallMember   .Balance argc=0 private\n"
                                              "0004  AddLocal     local 2 (net)\n"
                                              "0005  Store        field 0\n"
                                              "0006  PushMe\n"
                                              "0007  PushRef      local 2 (net)\n"
                                              "0008  CallMember   .Log argc=1 statement private\n"
                                              "0009  Return\n");
}

TEST(CompilerNames, UndeclaredNamesInProceduresYieldToGlobals) {
    Compiled code(u"Dim declared\n"
                  u"Sub S()\n"
                  u"  declared = 1\n"
                  u"  undeclared = Len(\"ab\")\n"
                  u"  Missing undeclared\n"
                  u"End Sub");
    EXPECT_EQ(code.ProcedureCode(u"S"), "0000  PushConst    Integer 1\n"
                                        "0001  Store        global 0 (declared)\n"
                                        "0002  PushConst    \"ab\"\n"
                                        "0003  CallBuiltin  Len argc=1\n"
                                        "0004  Store        implicit 1 (undeclared)\n"
                                        "0005  PushRef      implicit 1 (undeclared)\n"
                                        "0006  CallName     implicit 2 (Missing) argc=1 statement\n"
                                        "0007  Return\n");
}

TEST(CompilerNames, OptionExplicitMarksUndeclaredNames) {
    Compiled code(u"Option Explicit\nDim a\na = b");
    EXPECT_EQ(code.TopLevel(), "0000  CallName     explicit 1 (b) argc=0\n"
                               "0001  Store        global 0 (a)\n"
                               "0002  Return\n");
}

TEST(CompilerNames, CallStatementsPassVariablesByReference) {
    Compiled code(u"Dim v\nSub P(a, b) : End Sub\nP v, (v)\nCall P(v, v + 1)\nx = Len(v)");
    EXPECT_EQ(code.TopLevel(), "0000  PushRef      global 0 (v)\n"
                               "0001  CallName     global 0 (v) argc=0\n"
                               "0002  CallName     global 1 (P) argc=2 statement\n"
                               "0003  PushRef      global 0 (v)\n"
                               "0004  CallName     global 0 (v) argc=0\n"
                               "0005  AddConst     Integer 1\n"
                               "0006  CallName     global 1 (P) argc=2 statement\n"
                               "0007  CallName     global 0 (v) argc=0\n"
                               "0008  CallBuiltin  Len argc=1\n"
                               "0009  Store        global 2 (x)\n"
                               "0010  Return\n");
}

TEST(CompilerNames, ArrayElementArgumentsGoByReferenceUntilTheCallEnds) {
    // An element of a variable may be a ByRef argument; a known procedure's call stays a call.
    Compiled code(u"Dim a(2), v\nSub P(x) : End Sub\nFunction F(y) : End Function\n"
                  u"P a(1)\nP F(v)\nv = F(a(2)) + 1");
    EXPECT_EQ(code.TopLevel(), "0000  PushConst    Integer 1\n"
                               "0001  PushElementRef global 0 (a) argc=1\n"
                               "0002  CallName     global 2 (P) argc=1 statement\n"
                               "0003  Unlock       n=1\n"
                               "0004  PushRef      global 1 (v)\n"
                               "0005  CallName     global 3 (F) argc=1\n"
                               "0006  CallName     global 2 (P) argc=1 statement\n"
                               "0007  PushConst    Integer 2\n"
                               "0008  PushElementRef global 0 (a) argc=1\n"
                               "0009  CallName     global 3 (F) argc=1\n"
                               "0010  Unlock       n=1\n"
                               "0011  AddConst     Integer 1\n"
                               "0012  Store        global 1 (v)\n"
                               "0013  Return\n");
}

TEST(CompilerFolds, ComparisonsMarkTheirLiteralOperands) {
    // Two literals fold with the same typing: the text is read as a number.
    Compiled code(u"Dim v, r\nConst Limit = 10\nr = v = 5\nr = \"a\" < v\nr = v > -Limit\nr = v <> v\n"
                  u"r = 1 = \"1\"");
    EXPECT_EQ(code.TopLevel(), "0000  CallName     global 0 (v) argc=0\n"
                               "0001  EqualConst   Integer 5 number-literal\n"
                               "0002  Store        global 1 (r)\n"
                               "0003  PushConst    \"a\"\n"
                               "0004  CallName     global 0 (v) argc=0\n"
                               "0005  Less         text-literal\n"
                               "0006  Store        global 1 (r)\n"
                               "0007  CallName     global 0 (v) argc=0\n"
                               "0008  GreaterConst Integer -10 number-literal\n"
                               "0009  Store        global 1 (r)\n"
                               "0010  CallName     global 0 (v) argc=0\n"
                               "0011  CallName     global 0 (v) argc=0\n"
                               "0012  NotEqual\n"
                               "0013  Store        global 1 (r)\n"
                               "0014  PushConst    True\n"
                               "0015  Store        global 1 (r)\n"
                               "0016  Return\n");
}

TEST(CompilerLoops, ForKeepsItsStateInHiddenLocalsAndReusesThem) {
    // Next is one instruction that steps the counter and jumps back through the Jump after it.
    Compiled code(u"Sub S()\nDim i\nFor i = 1 To 3 : Next\nFor i = 1 To 2 Step 2 : Next\nEnd Sub");
    EXPECT_EQ(code.ProcedureCode(u"S"), "0000  PushConst    Integer 1\n"
                                        "0001  PushConst    Integer 3\n"
                                        "0002  PushConst    Integer 1\n"
                                        "0003  ForPrepare   hidden 2\n"
                                        "0004  Store        local 1 (i)\n"
                                        "0005  Load         local 1 (i)\n"
                                        "0006  ForTest      hidden 2 -> 0009\n"
                                        "0007  ForNext      local 1 (i) hidden 2\n"
                                        "0008  Jump         -> 0007\n"
                                        "0009  PushConst    Integer 1\n"
                                        "0010  PushConst    Integer 2\n"
                                        "0011  PushConst    Integer 2\n"
                                        "0012  ForPrepare   hidden 2\n"
                                        "0013  Store        local 1 (i)\n"
                                        "0014  Load         local 1 (i)\n"
                                        "0015  ForTest      hidden 2 -> 0018\n"
                                        "0016  ForNext      local 1 (i) hidden 2\n"
                                        "0017  Jump         -> 0016\n"
                                        "0018  Return\n");
}

TEST(CompilerFolds, TheConstantStartOfAnOperatorChainIsOneConstant) {
    // The chain is compiled in a loop over its left operands; what is constant at its start folds.
    Compiled code(u"Sub S(y)\nDim x\nx = 1 + 2 * 3 - y + 4\nEnd Sub");
    EXPECT_EQ(code.ProcedureCode(u"S"), "0000  PushConst    Integer 7\n"
                                        "0001  SubtractLocal local 0 (y)\n"
                                        "0002  AddConst     Integer 4\n"
                                        "0003  Store        local 2 (x)\n"
                                        "0004  Return\n");
}

TEST(CompilerWith, WithNeedsAnObjectAndAMemberOutsideWithFailsWhenItRuns) {
    // The With value is stored as by Set (424 for a plain value); .B outside any With raises 505.
    Compiled code(u"Sub S(o)\nWith o : .A = 1 : End With\n.B = .C\nEnd Sub");
    EXPECT_EQ(code.ProcedureCode(u"S"), "0000  Load         local 0 (o)\n"
                                        "0001  StoreSet     local 2 (hidden)\n"
                                        "0002  Load         local 2 (hidden)\n"
                                        "0003  PushConst    Integer 1\n"
                                        "0004  StoreMember  .A argc=0\n"
                                        "0005  PushConst    Empty\n"
                                        "0006  StoreRaw     local 2 (hidden)\n"
                                        "0007  Raise        error 505\n"
                                        "0008  Raise        error 505\n"
                                        "0009  CallMember   .C argc=0\n"
                                        "0010  StoreMember  .B argc=0\n"
                                        "0011  Return\n");
}

TEST(CompilerFolds, OperandsThatAreLocalsOrConstantsAreTakenByTheOperator) {
    // Only a one-instruction operand is taken; the left one only at the bottom of a chain.
    Compiled code(u"Function F(a, b)\nIf a < b Then F = a Mod 3 + b Else F = (a + 1) * b\nEnd Function");
    EXPECT_EQ(code.ProcedureCode(u"F"), "0000  LessLocalLocal local 0 (a), local 1 (b)\n"
                                        "0001  JumpIfFalse  -> 0006\n"
                                        "0002  ModuloLocalConst local 0 (a), Integer 3\n"
                                        "0003  AddLocal     local 1 (b)\n"
                                        "0004  Store        local 2 (F)\n"
                                        "0005  Jump         -> 0009\n"
                                        "0006  AddLocalConst local 0 (a), Integer 1\n"
                                        "0007  MultiplyLocal local 1 (b)\n"
                                        "0008  Store        local 2 (F)\n"
                                        "0009  Return\n");
}

TEST(CompilerFolds, EveryOperandFormListsItsOperandsLeftToRight) {
    // The left local before the right operand, a comparison's literal flags last.
    Compiled code(
        u"Function F(a, b)\nF = a >= \"x\"\nF = a \\ b\nF = Sqr(a) <> b\nF = Sqr(b) - 1.5\nEnd Function");
    EXPECT_EQ(code.ProcedureCode(u"F"), "0000  GreaterEqualLocalConst local 0 (a), \"x\" text-literal\n"
                                        "0001  Store        local 2 (F)\n"
                                        "0002  IntDivideLocalLocal local 0 (a), local 1 (b)\n"
                                        "0003  Store        local 2 (F)\n"
                                        "0004  Load         local 0 (a)\n"
                                        "0005  CallBuiltin  Sqr argc=1\n"
                                        "0006  NotEqualLocal local 1 (b)\n"
                                        "0007  Store        local 2 (F)\n"
                                        "0008  Load         local 1 (b)\n"
                                        "0009  CallBuiltin  Sqr argc=1\n"
                                        "0010  SubtractConst Double 1.5\n"
                                        "0011  Store        local 2 (F)\n"
                                        "0012  Return\n");
}

} // namespace
} // namespace qv::vbscript

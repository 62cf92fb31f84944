#include "platform/vbscript/internal/Parser.h"
#include "platform/vbscript/internal/CompileError.h"
#include "platform/vbscript/internal/Lexer.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::vbscript {
namespace {

struct SyntaxCase {
    const char16_t* source;
    std::int32_t number;
    std::int32_t line;
    std::int32_t column;
};

// Each row: a fault, the language's number for it, and where it is reported.
const SyntaxCase SyntaxCases[] = {
    {u"x = ", 1023, 1, 5},
    {u"x = 1 2", 1025, 1, 7},
    {u"x = (1 + 2", 1006, 1, 11},
    {u"x = \"open", 1033, 1, 5},
    {u"x = 1 $ 2", 1032, 1, 7},
    {u"x = #13/45/2000#", 1002, 1, 5},
    {u"x = 1e999", 1031, 1, 5},
    {u"If x Then\r\nx = 1", 1014, 2, 6},
    {u"If x\r\nEnd If", 1017, 1, 5},
    {u"If x Then\r\nEnd Sub", 1012, 2, 5},
    {u"For i = 1\r\nNext", 1013, 1, 10},
    {u"For i = 1 To 2\r\nx = 1", 1020, 2, 6},
    {u"For Each x Of y\r\nNext", 1046, 1, 12},
    {u"For Me = 1 To 2\r\nNext", 1040, 1, 5},
    {u"Do\r\nx = 1", 1019, 2, 6},
    {u"Do Whilst x\r\nLoop", 1028, 1, 4},
    {u"While x\r\nx = 1", 1018, 2, 6},
    {u"Select x\r\nEnd Select", 1021, 1, 8},
    {u"Select Case x\r\nx = 1\r\nEnd Select", 1014, 2, 1},
    {u"Select Case x\r\nCase 1\r\nEnd If", 1022, 3, 5},
    {u"With x\r\n.a = 1\r\nEnd Sub", 1029, 3, 5},
    {u"Sub S(\r\nEnd Sub", 1010, 1, 7},
    {u"Sub S(a, a)\r\nEnd Sub", 1041, 1, 10},
    {u"Sub S()\r\nEnd Function", 1016, 2, 5},
    {u"Function F()\r\nEnd Sub", 1015, 2, 5},
    {u"Sub S()\r\nSub T()\r\nEnd Sub\r\nEnd Sub", 1024, 2, 1},
    {u"Exit Do", 1039, 1, 1},
    {u"Sub S()\r\nExit Function\r\nEnd Sub", 1039, 2, 1},
    {u"Loop", 1038, 1, 1},
    {u"Next", 1055, 1, 1},
    {u"Wend", 1024, 1, 1},
    {u"Sub Two(a, b) : End Sub\r\nTwo(1, 2)", 1044, 2, 1},
    {u"Dim a(n)", 1026, 1, 7},
    {u"Dim a\r\nDim a", 1041, 2, 5},
    {u"Const c = x", 1045, 1, 11},
    {u"Class C\r\nPublic Default Property Let P(v) : End Property\r\nEnd Class", 1058, 2, 16},
    {u"Class C\r\nDefault Function F() : End Function\r\nEnd Class", 1057, 2, 1},
    {u"Class C\r\nPublic Default x\r\nEnd Class", 1056, 2, 16},
    {u"Class C\r\nPublic Default Function F() : End Function\r\nPublic Default Function G() : End "
     u"Function\r\n"
     u"End Class",
     1052, 3, 16},
    {u"Class C\r\nSub Class_Initialize(a) : End Sub\r\nEnd Class", 1053, 2, 1},
    {u"Class C\r\nProperty Let P() : End Property\r\nEnd Class", 1054, 2, 1},
    {u"Class C\r\nProperty Get P(a) : End Property\r\nProperty Let P(v) : End Property\r\nEnd Class", 1051, 3,
     1},
    {u"Class C\r\nProperty Fetch P\r\nEnd Class", 1049, 2, 10},
    {u"Class C\r\nx = 1\r\nEnd Class", 1024, 2, 1},
    {u"Class C\r\nDim x", 1014, 2, 6},
    {u"Class C\r\nEnd Sub", 1047, 2, 5},
    {u"Property Get P() : End Property", 1048, 1, 1},
    {u"Public Default Function F() : End Function", 1048, 1, 8},
    {u"x = Me", 1037, 1, 5},
    {u"Me = 1", 1037, 1, 1},
    {u"x = obj.Check.5", 1025, 1, 14},
    {u"S.5.5", 1025, 1, 4},
    {u"x = &h01zz", 1025, 1, 9},
    {u"x = [open", 1007, 1, 10},
    {u"Const c = 1\r\nc = 2", 501, 2, 1},
    {u"On Error GoTo Handler", 1002, 1, 15},
    {u"Option Strict", 1010, 1, 8},
    {u"x = 1 _ 2", 1032, 1, 7},
};

TEST(ParserErrors, ReportNumberLineAndColumn) {
    for (const SyntaxCase& row : SyntaxCases) {
        SCOPED_TRACE(automation::ToUtf8(row.source));
        ScriptControl control;
        EXPECT_THROW(control.AddCode(u"Global", row.source), automation::Error);
        const ScriptError& error = control.Error();
        EXPECT_EQ(error.number, row.number) << automation::ToUtf8(error.description);
        EXPECT_EQ(error.line, row.line);
        EXPECT_EQ(error.column, row.column);
        EXPECT_EQ(automation::ToUtf8(error.source), "VBScript compilation error");
        EXPECT_FALSE(error.description.empty());
    }
}

TEST(ParserErrors, TextsAreTheLanguagesOwn) {
    EXPECT_EQ(CompileErrorText(1002), u"Syntax error");
    EXPECT_EQ(CompileErrorText(1025), u"Expected end of statement");
    EXPECT_EQ(CompileErrorText(1044), u"Cannot use parentheses when calling a Sub");
    EXPECT_EQ(CompileErrorText(1028), u"Expected 'While,' 'Until,' or end of statement");
}

// Hostile input never exhausts the native stack: nesting past the bound is an error.
TEST(ParserLimits, DeepNestingIsAnErrorNotACrash) {
    struct Shape {
        const char* name;
        std::u16string source;
    };
    const std::size_t deep = 100000;
    const Shape shapes[] = {
        {"parentheses", u"x = " + std::u16string(deep, u'(') + u"1" + std::u16string(deep, u')')},
        {"unary minus", u"x = " + std::u16string(deep, u'-') + u"1"},
        {"Not",
         [&] {
             std::u16string text = u"x = ";
             for (std::size_t index = 0; index < deep; ++index) {
                 text += u"Not ";
             }
             return text + u"1";
         }()},
        {"If blocks",
         [&] {
             std::u16string text;
             for (std::size_t index = 0; index < deep / 10; ++index) {
                 text += u"If x Then\n";
             }
             return text;
         }()},
        {"single-line If",
         [&] {
             std::u16string text;
             for (std::size_t index = 0; index < deep / 10; ++index) {
                 text += u"If x Then ";
             }
             return text + u"y = 1";
         }()},
        {"call arguments", u"x = " +
                               [&] {
                                   std::u16string text;
                                   for (std::size_t index = 0; index < deep / 10; ++index) {
                                       text += u"f(";
                                   }
                                   return text + u"1" + std::u16string(deep / 10, u')');
                               }()},
        // A sign takes only its own operand, so `2 ^ -2 ^ -2 ...` is a flat chain; signs
        // nest in an exponent still.
        {"signs in an exponent", u"x = 2 ^ " + std::u16string(deep, u'-') + u"2"},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        ScriptControl control;
        EXPECT_THROW(control.AddCode(u"Global", shape.source), automation::Error);
        EXPECT_EQ(control.Error().number, 28);
    }
}

TEST(ParserLimits, LongConcatenationsAndFlatCodeAreFine) {
    std::u16string pieces = u"Dim s : s = \"\"";
    for (int index = 0; index < 70000; ++index) {
        pieces += u" & \"x\"";
    }
    std::u16string appends = u"Dim t, v : v = \"y\" : t = t";
    for (int index = 0; index < 70000; ++index) {
        appends += u" & v";
    }
    ScriptControl control;
    control.AddCode(u"Global", pieces);
    control.AddCode(u"Global", appends);
    EXPECT_EQ(automation::ToString(control.Eval(u"Global", u"Len(s) & \",\" & Len(t)")), u"70000,70000");
}

// Only nesting is bounded: a flat chain of operators, folded or not, compiles whatever its length
// (it used to fail past a thousand operands).
TEST(ParserLimits, LongOperatorChainsCompile) {
    const int operands = 100000;
    std::u16string constant = u"Dim a : a = 1";
    std::u16string variable = u"Dim b, one : one = 1 : b = one";
    std::u16string mixed = u"Dim c : c = one";
    for (int index = 1; index < operands; ++index) {
        constant += u" + 1";
        variable += u" + one";
        mixed += index % 2 ? u" * 2 - one" : u" Or 1";
    }
    ScriptControl control;
    control.AddCode(u"Global", constant);
    control.AddCode(u"Global", variable);
    control.AddCode(u"Global", mixed);
    EXPECT_EQ(automation::ToString(control.Eval(u"Global", u"a & \",\" & b & \",\" & c")),
              u"100000,100000,1");
    std::u16string condition = u"x = (1 = 1)";
    for (int index = 0; index < 5000; ++index) {
        condition += u" And one = 1";
    }
    control.AddCode(u"Global", u"Dim x : " + condition);
    EXPECT_EQ(automation::ToString(control.Eval(u"Global", u"x")), u"True");
}

TEST(LexerTokens, KeywordsAreFoundWhateverTheirCase) {
    for (const char16_t* word :
         {u"and", u"BYREF", u"ElseIf", u"nothing", u"wEnD", u"Xor", u"Stop", u"Until"}) {
        SCOPED_TRACE(automation::ToUtf8(word));
        std::vector<Token> tokens = Lexer(word).Tokenize();
        ASSERT_EQ(tokens.size(), 2u);
        EXPECT_TRUE(IsKeyword(tokens[0].kind));
        EXPECT_TRUE(automation::EqualsNoCase(TokenKindName(tokens[0].kind), word));
    }
}

TEST(LexerTokens, MemberNamesAfterADotAreNeverKeywords) {
    std::vector<Token> tokens = Lexer(u"rs.Next x.End").Tokenize();
    ASSERT_EQ(tokens.size(), 7u);
    EXPECT_EQ(tokens[2].kind, TokenKind::Identifier);
    EXPECT_EQ(tokens[5].kind, TokenKind::Identifier);
}

TEST(LexerTokens, NumbersTakeTheSmallestSubtype) {
    struct Row {
        const char16_t* text;
        automation::VarType type;
    };
    const Row rows[] = {
        {u"32767", automation::VarType::Integer},     {u"32768", automation::VarType::Long},
        {u"2147483648", automation::VarType::Double}, {u"&HFFFF", automation::VarType::Integer},
        {u"&H10000", automation::VarType::Long},      {u"&HFF&", automation::VarType::Integer},
        {u"&HFFFF&", automation::VarType::Long},      {u"1.", automation::VarType::Double},
        {u".5", automation::VarType::Double},         {u"#1/1/2000#", automation::VarType::Date},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(automation::ToUtf8(row.text));
        std::vector<Token> tokens = Lexer(row.text).Tokenize();
        ASSERT_EQ(tokens[0].kind, TokenKind::Literal);
        EXPECT_EQ(tokens[0].value.Type(), row.type);
        EXPECT_EQ(tokens.size(), 2u);
    }
}

} // namespace
} // namespace qv::vbscript

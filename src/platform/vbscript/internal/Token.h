#pragma once

#include "platform/automation/Variant.h"

#include <cstdint>
#include <string_view>

namespace qv::vbscript {

// The reserved words of the language, each a token kind of its own. Words that are keywords
// only in one place (Step, Preserve, Default, Get, Property, Explicit, Error, Resume, GoTo) stay
// identifiers and the parser recognises them where they matter, so that scripts may still use
// them as names.
#define QV_VBS_KEYWORDS(X)                                                                                   \
    X(And, "And")                                                                                            \
    X(ByRef, "ByRef")                                                                                        \
    X(ByVal, "ByVal")                                                                                        \
    X(Call, "Call")                                                                                          \
    X(Case, "Case")                                                                                          \
    X(Class, "Class")                                                                                        \
    X(Const, "Const")                                                                                        \
    X(Dim, "Dim")                                                                                            \
    X(Do, "Do")                                                                                              \
    X(Each, "Each")                                                                                          \
    X(Else, "Else")                                                                                          \
    X(ElseIf, "ElseIf")                                                                                      \
    X(Empty, "Empty")                                                                                        \
    X(End, "End")                                                                                            \
    X(Eqv, "Eqv")                                                                                            \
    X(Erase, "Erase")                                                                                        \
    X(Exit, "Exit")                                                                                          \
    X(False, "False")                                                                                        \
    X(For, "For")                                                                                            \
    X(Function, "Function")                                                                                  \
    X(If, "If")                                                                                              \
    X(Imp, "Imp")                                                                                            \
    X(In, "In")                                                                                              \
    X(Is, "Is")                                                                                              \
    X(Let, "Let")                                                                                            \
    X(Loop, "Loop")                                                                                          \
    X(Me, "Me")                                                                                              \
    X(Mod, "Mod")                                                                                            \
    X(New, "New")                                                                                            \
    X(Next, "Next")                                                                                          \
    X(Not, "Not")                                                                                            \
    X(Nothing, "Nothing")                                                                                    \
    X(Null, "Null")                                                                                          \
    X(On, "On")                                                                                              \
    X(Option, "Option")                                                                                      \
    X(Or, "Or")                                                                                              \
    X(Private, "Private")                                                                                    \
    X(Public, "Public")                                                                                      \
    X(ReDim, "ReDim")                                                                                        \
    X(Select, "Select")                                                                                      \
    X(Set, "Set")                                                                                            \
    X(Stop, "Stop")                                                                                          \
    X(Sub, "Sub")                                                                                            \
    X(Then, "Then")                                                                                          \
    X(To, "To")                                                                                              \
    X(True, "True")                                                                                          \
    X(Until, "Until")                                                                                        \
    X(Wend, "Wend")                                                                                          \
    X(While, "While")                                                                                        \
    X(With, "With")                                                                                          \
    X(Xor, "Xor")

enum class TokenKind : std::uint8_t {
    EndOfInput,
    NewLine, // a line break: ends a statement and a single-line If
    Colon,   // ends a statement
    Identifier,
    Literal, // number, string or date; the value is in Token::value
    Comma,
    Dot,
    LeftParen,
    RightParen,
    Plus,
    Minus,
    Star,
    Slash,
    Backslash,
    Caret,
    Ampersand,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
#define QV_VBS_KEYWORD_KIND(name, text) Kw##name,
    QV_VBS_KEYWORDS(QV_VBS_KEYWORD_KIND)
#undef QV_VBS_KEYWORD_KIND
};

/// One token with its place in the source. `text` views the source (for a bracketed
/// identifier, the name without the brackets), so the source must outlive the token.
struct Token {
    TokenKind kind = TokenKind::EndOfInput;
    std::uint32_t offset = 0; // of the first character, in UTF-16 units
    std::u16string_view text;
    automation::Variant value; // Literal only
    /// True when a blank or a line break comes right before the token (tells `a.b` from
    /// `a .b` inside With, and `x.5` from `x .5`).
    bool spaceBefore = false;
};

/// True for the keyword kinds.
constexpr bool IsKeyword(TokenKind kind) noexcept {
    return kind >= TokenKind::KwAnd;
}

/// The spelling of a token kind, for messages and the disassembler.
std::u16string_view TokenKindName(TokenKind kind) noexcept;

} // namespace qv::vbscript

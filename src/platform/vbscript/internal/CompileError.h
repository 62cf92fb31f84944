#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace qv::vbscript {

/// The language's compile-time error numbers; their texts come from CompileErrorText.
namespace CompileErrorNumber {
inline constexpr std::int32_t OutOfMemory = 1001;
inline constexpr std::int32_t SyntaxError = 1002;
inline constexpr std::int32_t ExpectedColon = 1003;
inline constexpr std::int32_t ExpectedLeftParen = 1005;
inline constexpr std::int32_t ExpectedRightParen = 1006;
inline constexpr std::int32_t ExpectedRightBracket = 1007;
inline constexpr std::int32_t ExpectedIdentifier = 1010;
inline constexpr std::int32_t ExpectedEqual = 1011;
inline constexpr std::int32_t ExpectedIf = 1012;
inline constexpr std::int32_t ExpectedTo = 1013;
inline constexpr std::int32_t ExpectedEnd = 1014;
inline constexpr std::int32_t ExpectedFunction = 1015;
inline constexpr std::int32_t ExpectedSub = 1016;
inline constexpr std::int32_t ExpectedThen = 1017;
inline constexpr std::int32_t ExpectedWend = 1018;
inline constexpr std::int32_t ExpectedLoop = 1019;
inline constexpr std::int32_t ExpectedNext = 1020;
inline constexpr std::int32_t ExpectedCase = 1021;
inline constexpr std::int32_t ExpectedSelect = 1022;
inline constexpr std::int32_t ExpectedExpression = 1023;
inline constexpr std::int32_t ExpectedStatement = 1024;
inline constexpr std::int32_t ExpectedEndOfStatement = 1025;
inline constexpr std::int32_t ExpectedIntegerConstant = 1026;
inline constexpr std::int32_t ExpectedWhileOrUntil = 1027;
inline constexpr std::int32_t ExpectedWhileUntilOrEnd = 1028;
inline constexpr std::int32_t ExpectedWith = 1029;
inline constexpr std::int32_t IdentifierTooLong = 1030;
inline constexpr std::int32_t InvalidNumber = 1031;
inline constexpr std::int32_t InvalidCharacter = 1032;
inline constexpr std::int32_t UnterminatedString = 1033;
inline constexpr std::int32_t InvalidUseOfMe = 1037;
inline constexpr std::int32_t LoopWithoutDo = 1038;
inline constexpr std::int32_t InvalidExit = 1039;
inline constexpr std::int32_t InvalidForVariable = 1040;
inline constexpr std::int32_t NameRedefined = 1041;
inline constexpr std::int32_t MustBeFirstStatement = 1042;
inline constexpr std::int32_t CannotAssignToNonByVal = 1043;
inline constexpr std::int32_t ParenthesesCallingSub = 1044;
inline constexpr std::int32_t ExpectedLiteralConstant = 1045;
inline constexpr std::int32_t ExpectedIn = 1046;
inline constexpr std::int32_t ExpectedClass = 1047;
inline constexpr std::int32_t MustBeInsideClass = 1048;
inline constexpr std::int32_t ExpectedLetSetGet = 1049;
inline constexpr std::int32_t ExpectedProperty = 1050;
inline constexpr std::int32_t InconsistentPropertyArguments = 1051;
inline constexpr std::int32_t MultipleDefaults = 1052;
inline constexpr std::int32_t InitializeWithArguments = 1053;
inline constexpr std::int32_t PropertyNeedsArgument = 1054;
inline constexpr std::int32_t UnexpectedNext = 1055;
inline constexpr std::int32_t DefaultOnlyOnMember = 1056;
inline constexpr std::int32_t DefaultMustBePublic = 1057;
inline constexpr std::int32_t DefaultOnlyOnGet = 1058;
/// Nesting deeper than the parser allows; reported with the runtime's "Out of stack space".
inline constexpr std::int32_t TooDeep = 28;
/// `.Name` outside a With block.
inline constexpr std::int32_t UnqualifiedReference = 505;
/// Assignment to a constant or a library function.
inline constexpr std::int32_t IllegalAssignment = 501;
} // namespace CompileErrorNumber

/// The language's text for a compile error number ("Expected end of statement").
std::u16string_view CompileErrorText(std::int32_t number) noexcept;

/// A compile error: its number and the offset of the offending character in the source. Thrown
/// by the lexer, parser and compiler and turned into the error record at the compile boundary.
class CompileError : public std::exception {
public:
    CompileError(std::int32_t number, std::uint32_t offset) : mNumber(number), mOffset(offset) {}

    std::int32_t Number() const noexcept { return mNumber; }
    std::uint32_t Offset() const noexcept { return mOffset; }
    std::u16string_view Description() const noexcept { return CompileErrorText(mNumber); }
    const char* what() const noexcept override { return "VBScript compilation error"; }

private:
    std::int32_t mNumber;
    std::uint32_t mOffset;
};

} // namespace qv::vbscript

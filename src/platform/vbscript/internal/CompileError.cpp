#include "platform/vbscript/internal/CompileError.h"

namespace qv::vbscript {

std::u16string_view CompileErrorText(std::int32_t number) noexcept {
    namespace N = CompileErrorNumber;
    switch (number) {
    case N::OutOfMemory:
        return u"Out of memory";
    case N::SyntaxError:
        return u"Syntax error";
    case N::ExpectedColon:
        return u"Expected ':'";
    case N::ExpectedLeftParen:
        return u"Expected '('";
    case N::ExpectedRightParen:
        return u"Expected ')'";
    case N::ExpectedRightBracket:
        return u"Expected ']'";
    case N::ExpectedIdentifier:
        return u"Expected identifier";
    case N::ExpectedEqual:
        return u"Expected '='";
    case N::ExpectedIf:
        return u"Expected 'If'";
    case N::ExpectedTo:
        return u"Expected 'To'";
    case N::ExpectedEnd:
        return u"Expected 'End'";
    case N::ExpectedFunction:
        return u"Expected 'Function'";
    case N::ExpectedSub:
        return u"Expected 'Sub'";
    case N::ExpectedThen:
        return u"Expected 'Then'";
    case N::ExpectedWend:
        return u"Expected 'Wend'";
    case N::ExpectedLoop:
        return u"Expected 'Loop'";
    case N::ExpectedNext:
        return u"Expected 'Next'";
    case N::ExpectedCase:
        return u"Expected 'Case'";
    case N::ExpectedSelect:
        return u"Expected 'Select'";
    case N::ExpectedExpression:
        return u"Expected expression";
    case N::ExpectedStatement:
        return u"Expected statement";
    case N::ExpectedEndOfStatement:
        return u"Expected end of statement";
    case N::ExpectedIntegerConstant:
        return u"Expected integer constant";
    case N::ExpectedWhileOrUntil:
        return u"Expected 'While' or 'Until'";
    case N::ExpectedWhileUntilOrEnd:
        return u"Expected 'While,' 'Until,' or end of statement";
    case N::ExpectedWith:
        return u"Expected 'With'";
    case N::IdentifierTooLong:
        return u"Identifier too long";
    case N::InvalidNumber:
        return u"Invalid number";
    case N::InvalidCharacter:
        return u"Invalid character";
    case N::UnterminatedString:
        return u"Unterminated string constant";
    case N::InvalidUseOfMe:
        return u"Invalid use of 'Me' keyword";
    case N::LoopWithoutDo:
        return u"'loop' without 'do'";
    case N::InvalidExit:
        return u"Invalid 'exit' statement";
    case N::InvalidForVariable:
        return u"Invalid 'for' loop control variable";
    case N::NameRedefined:
        return u"Name redefined";
    case N::MustBeFirstStatement:
        return u"Must be first statement on the line";
    case N::CannotAssignToNonByVal:
        return u"Cannot assign to non-ByVal argument";
    case N::ParenthesesCallingSub:
        return u"Cannot use parentheses when calling a Sub";
    case N::ExpectedLiteralConstant:
        return u"Expected literal constant";
    case N::ExpectedIn:
        return u"Expected 'In'";
    case N::ExpectedClass:
        return u"Expected 'Class'";
    case N::MustBeInsideClass:
        return u"Must be defined inside a Class";
    case N::ExpectedLetSetGet:
        return u"Expected Let or Set or Get in property declaration";
    case N::ExpectedProperty:
        return u"Expected 'Property'";
    case N::InconsistentPropertyArguments:
        return u"Number of arguments must be consistent across properties specification";
    case N::MultipleDefaults:
        return u"Cannot have multiple default property/method in a Class";
    case N::InitializeWithArguments:
        return u"Class initialize or terminate do not have arguments";
    case N::PropertyNeedsArgument:
        return u"Property set or let must have at least one argument";
    case N::UnexpectedNext:
        return u"Unexpected 'Next'";
    case N::DefaultOnlyOnMember:
        return u"'Default' can be specified only on 'Property' or 'Function' or 'Sub'";
    case N::DefaultMustBePublic:
        return u"'Default' specification must also specify 'Public'";
    case N::DefaultOnlyOnGet:
        return u"'Default' specification can only be on Property Get";
    case N::TooDeep:
        return u"Out of stack space";
    case N::UnqualifiedReference:
        return u"Invalid or unqualified reference";
    case N::IllegalAssignment:
        return u"Illegal assignment";
    default:
        return u"Syntax error";
    }
}

} // namespace qv::vbscript

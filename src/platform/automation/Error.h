#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace qv::automation {

/// Standard error numbers of the runtime; their texts come from StandardErrorText.
namespace ErrorNumber {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t ArrayFixedOrLocked = 10;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t OutOfStringSpace = 14;
inline constexpr std::int32_t OutOfStackSpace = 28;
inline constexpr std::int32_t SubOrFunctionNotDefined = 35;
inline constexpr std::int32_t InternalError = 51;
inline constexpr std::int32_t BadFileNameOrNumber = 52;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t BadFileMode = 54;
inline constexpr std::int32_t FileAlreadyOpen = 55;
inline constexpr std::int32_t DeviceIoError = 57;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t DiskFull = 61;
inline constexpr std::int32_t InputPastEndOfFile = 62;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectVariableNotSet = 91;
inline constexpr std::int32_t ForLoopNotInitialized = 92;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t ObjectRequired = 424;
inline constexpr std::int32_t CannotCreateObject = 429;
inline constexpr std::int32_t ClassDoesNotSupportAutomation = 430;
inline constexpr std::int32_t ObjectDoesNotSupport = 438;
inline constexpr std::int32_t NamedArgumentNotFound = 448;
inline constexpr std::int32_t ArgumentNotOptional = 449;
inline constexpr std::int32_t WrongArgumentCount = 450;
inline constexpr std::int32_t NotACollection = 451;
inline constexpr std::int32_t DuplicateKey = 457;
inline constexpr std::int32_t UnsupportedAutomationType = 458;
inline constexpr std::int32_t VariableUndefined = 500;
inline constexpr std::int32_t IllegalAssignment = 501;
inline constexpr std::int32_t ObjectNotSafeForScripting = 502;
inline constexpr std::int32_t InvalidOrUnqualifiedReference = 505;
inline constexpr std::int32_t ClassNotDefined = 506;
inline constexpr std::int32_t ElementNotFound = 32811;
} // namespace ErrorNumber

/// The runtime's English text for a standard error number, or "" when it has none. Error(number)
/// uses "Unknown runtime error" for a number without a text, as the runtime does.
std::u16string_view StandardErrorText(std::int32_t number);

/// The one error type raised across the object model and by the script engine: a number, the
/// source that raised it and a description. Raised once where the failure is found and carried
/// intact to the boundary (the project object's public operations, or a script's On Error).
class Error : public std::exception {
public:
    /// A standard error with the runtime's text for `number`.
    explicit Error(std::int32_t number);
    Error(std::int32_t number, std::u16string source, std::u16string description);

    std::int32_t Number() const noexcept { return mNumber; }
    const std::u16string& Source() const noexcept { return mSource; }
    const std::u16string& Description() const noexcept { return mDescription; }
    void SetSource(std::u16string source) { mSource = std::move(source); }

    /// The description in UTF-8, for std::exception users and test output.
    const char* what() const noexcept override;

private:
    std::int32_t mNumber;
    std::u16string mSource;
    std::u16string mDescription;
    std::string mWhat;
};

[[noreturn]] void Raise(std::int32_t number);
[[noreturn]] void Raise(std::int32_t number, std::u16string source, std::u16string description);

} // namespace qv::automation

#include "platform/automation/Error.h"

#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qv::automation {

namespace {

struct StandardError {
    std::int32_t number;
    std::u16string_view text;
};

// The runtime's English texts, sorted by number for the binary search.
constexpr std::array StandardErrors{
    StandardError{5, u"Invalid procedure call or argument"},
    StandardError{6, u"Overflow"},
    StandardError{7, u"Out of memory"},
    StandardError{9, u"Subscript out of range"},
    StandardError{10, u"This array is fixed or temporarily locked"},
    StandardError{11, u"Division by zero"},
    StandardError{13, u"Type mismatch"},
    StandardError{14, u"Out of string space"},
    StandardError{28, u"Out of stack space"},
    StandardError{35, u"Sub or Function not defined"},
    StandardError{48, u"Error in loading DLL"},
    StandardError{51, u"Internal error"},
    StandardError{52, u"Bad file name or number"},
    StandardError{53, u"File not found"},
    StandardError{54, u"Bad file mode"},
    StandardError{55, u"File already open"},
    StandardError{57, u"Device I/O error"},
    StandardError{58, u"File already exists"},
    StandardError{61, u"Disk full"},
    StandardError{62, u"Input past end of file"},
    StandardError{67, u"Too many files"},
    StandardError{68, u"Device unavailable"},
    StandardError{70, u"Permission denied"},
    StandardError{71, u"Disk not ready"},
    StandardError{74, u"Can't rename with different drive"},
    StandardError{75, u"Path/File access error"},
    StandardError{76, u"Path not found"},
    StandardError{91, u"Object variable not set"},
    StandardError{92, u"For loop not initialized"},
    StandardError{94, u"Invalid use of Null"},
    StandardError{322, u"Can't create necessary temporary file"},
    StandardError{424, u"Object required"},
    StandardError{429, u"ActiveX component can't create object"},
    StandardError{430, u"Class doesn't support Automation"},
    StandardError{432, u"File name or class name not found during Automation operation"},
    StandardError{438, u"Object doesn't support this property or method"},
    StandardError{440, u"Automation error"},
    StandardError{445, u"Object doesn't support this action"},
    StandardError{446, u"Object doesn't support named arguments"},
    StandardError{447, u"Object doesn't support current locale setting"},
    StandardError{448, u"Named argument not found"},
    StandardError{449, u"Argument not optional"},
    StandardError{450, u"Wrong number of arguments or invalid property assignment"},
    StandardError{451, u"Object not a collection"},
    StandardError{453, u"Specified DLL function not found"},
    StandardError{455, u"Code resource lock error"},
    StandardError{457, u"This key is already associated with an element of this collection"},
    StandardError{458, u"Variable uses an Automation type not supported in VBScript"},
    StandardError{462, u"The remote server machine does not exist or is unavailable"},
    StandardError{481, u"Invalid picture"},
    StandardError{500, u"Variable is undefined"},
    StandardError{501, u"Illegal assignment"},
    StandardError{502, u"Object not safe for scripting"},
    StandardError{503, u"Object not safe for initializing"},
    StandardError{504, u"Object not safe for creating"},
    StandardError{505, u"Invalid or unqualified reference"},
    StandardError{506, u"Class not defined"},
    StandardError{507, u"An exception occurred"},
    StandardError{5008, u"Illegal assignment"},
    StandardError{5017, u"Syntax error in regular expression"},
    StandardError{5018, u"Unexpected quantifier"},
    StandardError{5019, u"Expected ']' in regular expression"},
    StandardError{5020, u"Expected ')' in regular expression"},
    StandardError{5021, u"Invalid range in character set"},
    StandardError{32811, u"Element not found"},
};

static_assert(std::is_sorted(StandardErrors.begin(), StandardErrors.end(),
                             [](const StandardError& a, const StandardError& b) {
                                 return a.number < b.number;
                             }));

// What the runtime says for a number it has no text for.
constexpr std::u16string_view UnknownErrorText = u"Unknown runtime error";

} // namespace

std::u16string_view StandardErrorText(std::int32_t number) {
    auto it =
        std::lower_bound(StandardErrors.begin(), StandardErrors.end(), number,
                         [](const StandardError& entry, std::int32_t value) { return entry.number < value; });
    if (it == StandardErrors.end() || it->number != number) {
        return {};
    }
    return it->text;
}

Error::Error(std::int32_t number) : Error(number, std::u16string(), std::u16string()) {}

Error::Error(std::int32_t number, std::u16string source, std::u16string description)
    : mNumber(number), mSource(std::move(source)), mDescription(std::move(description)) {
    if (mDescription.empty()) {
        std::u16string_view text = StandardErrorText(number);
        mDescription = text.empty() ? UnknownErrorText : text;
    }
    mWhat = ToUtf8(mDescription);
}

const char* Error::what() const noexcept {
    return mWhat.c_str();
}

void Raise(std::int32_t number) {
    throw Error(number);
}

void Raise(std::int32_t number, std::u16string source, std::u16string description) {
    throw Error(number, std::move(source), std::move(description));
}

} // namespace qv::automation

#include "platform/dao/internal/Errors.h"

#include "platform/dao/Constants.h"

#include "platform/automation/Error.h"

namespace qv::dao::internal {

void RaiseFileError(std::int32_t number, std::u16string_view path, std::u16string_view reason) {
    // Appended, not `u"'" + std::u16string(path)`: GCC 12 reports a false -Wrestrict at -O3.
    const std::u16string quoted = std::u16string(u"'").append(path).append(u"'");
    std::u16string description;
    switch (number) {
    case ErrorNumber::FileNotFound:
        description = u"Could not find file " + quoted;
        break;
    case ErrorNumber::NotValidPassword:
        description = u"Not a valid password for database " + quoted;
        break;
    case ErrorNumber::UnrecognizedFormat:
        description = u"Unrecognized database format " + quoted;
        break;
    default:
        description = u"Cannot open database " + quoted;
        break;
    }
    if (!reason.empty()) {
        description += u": ";
        description += reason;
    }
    description += u'.';
    automation::Raise(number, u"DAO.Database", std::move(description));
}

} // namespace qv::dao::internal

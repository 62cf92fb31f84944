#include "project/internal/SearchOperators.h"

#include "core/QelVars.h"

namespace qv {

std::u16string GetSearchOperators(std::int32_t ftype) {
    switch (GetFieldTypeClass(ftype)) {
    case FieldTypeClass::Boolean:
        return u"=\r\n<>";
    case FieldTypeClass::Text:
        return u"=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN\r\nLIKE\r\nNOT LIKE\r\nSTARTS WITH";
    default:
        // Numbers, dates, GUIDs and every type the class table does not know.
        return u"=\r\n<>\r\n<\r\n<=\r\n>\r\n>=\r\nBETWEEN";
    }
}

std::u16string FldSrchOprs(std::int32_t ftype) {
    return u"USER SELECT\r\n" + GetSearchOperators(ftype);
}

} // namespace qv

// The defaults a field takes from its column: pages, input control, validation, search and
// naming, by its ADO type code, its schema flags and the kind of database.

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/Apartment.h"
#include "core/Captions.h"
#include "core/QelVars.h"

#include "platform/ado/Constants.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

namespace qv {

namespace {

namespace DataType = ado::DataType;

// Type groups by ADO code. The date group leaves out 134 (time only).
constexpr std::int32_t IntegerTypes[] = {
    DataType::BigInt,         DataType::Integer,     DataType::SmallInt,         DataType::TinyInt,
    DataType::UnsignedBigInt, DataType::UnsignedInt, DataType::UnsignedSmallInt, DataType::UnsignedTinyInt};
constexpr std::int32_t DecimalTypes[] = {DataType::Currency, DataType::Decimal, DataType::Double,
                                         DataType::Numeric, DataType::Single};
constexpr std::int32_t DateTypes[] = {DataType::Date, DataType::DBDate, DataType::DBTimeStamp};
constexpr std::int32_t LikeSearchTypes[] = {DataType::BSTR,         DataType::Char,    DataType::LongVarChar,
                                            DataType::LongVarWChar, DataType::VarChar, DataType::VarWChar,
                                            DataType::WChar};
constexpr std::int32_t BasicSearchTypes[] = {DataType::LongVarChar, DataType::LongVarWChar, DataType::VarChar,
                                             DataType::VarWChar,    DataType::Char,         DataType::WChar};
constexpr std::int32_t LongTextTypes[] = {DataType::LongVarChar, DataType::LongVarWChar};
constexpr std::int32_t ShortTextTypes[] = {DataType::VarChar, DataType::VarWChar};

bool IsIn(std::int32_t type, std::span<const std::int32_t> group) {
    return std::find(group.begin(), group.end(), type) != group.end();
}

/// The validation of a date column under a project date format; "" for a format that has none.
std::u16string_view DateValidation(std::int16_t dateFormat) {
    switch (dateFormat) {
    case 5:
        return u"DATE";
    case 6:
        return u"USDATE";
    case 7:
        return u"EURODATE";
    default:
        return {};
    }
}

constexpr std::u16string_view AccessBooleanValues = u"\"Yes\",\"Yes\"\r\n\"No\",\"No\"";
constexpr std::u16string_view OtherBooleanValues = u"\"1\",\"Yes\"\r\n\"0\",\"No\"";

constexpr std::int16_t TextTagSize = 30;
constexpr std::int16_t GuidTagSize = 38;

} // namespace

void QelField::LoadFldDefault() {
    SetFldFmtType(u"None");
    SetFldIncLeadDigit(-2);
    SetFldUseParen(-2);
    SetFldGpDigits(-2);
    SetFldSelectType(u"Values");
    SetFldViewTag(u"FORMATTED TEXT");
    SetFldTagAPrefix(u"None");
    SetFldRequired(false);
    SetFldPopCalendar(false);
    SetFldHtmlTagReadOnly(false);
    SetFldSrchOpr2(u"");
    SetFldOrderBy(0);
    SetFldOrder(u"");
    SetFldGroupBy(0);
    SetFldPageIndex(1);

    const bool supported = FldSupport();
    const std::int16_t type = FldType();
    SetFldGenerate(supported);
    SetFldVar(ToIdentifier(FldName(), u"x_"));
    // Long text and long binary columns are not shown in lists.
    SetFldList(supported && type != DataType::LongVarWChar && type != DataType::LongVarChar &&
               type != DataType::LongVarBinary);
    SetFldEdit(supported);
    SetFldMultiUpdate(supported);
    if (FldAutoIncrement()) {
        SetFldAdd(false);
        SetFldMultiUpdate(false);
    } else {
        SetFldAdd(supported);
    }
    if (GetDBTypeId(CurrentLoadSettings().dbmsName) == DBTypeCode::SqlServer) {
        const std::int32_t attributes = FldAttribute();
        const bool updatable = FldAutoIncrement() ||
                               (attributes & ado::FieldAttribute::UnknownUpdatable) != 0 ||
                               (attributes & ado::FieldAttribute::Updatable) != 0;
        if (!updatable) {
            SetFldAdd(false);
            SetFldEdit(false);
            SetFldMultiUpdate(false);
        }
    }
    SetFldView(supported);

    SetHtmlTagDefault();
    SetValidateDefault();
    SetSearchOperatorDefault();
    SetSearchDefault();
    SetBasicSearchDefault();

    if (FldCaption().empty()) {
        SetFldCaption(NameToCaption(FldName()));
    }
    SetFldRepeatColumns(CurrentLoadSettings().repeatColumns);
}

void QelField::SetHtmlTagDefault() {
    if (FldAutoIncrement()) {
        SetFldHtmlTag(u"NO");
        return;
    }
    const std::int16_t type = FldType();
    if (type == DataType::Boolean) {
        SetFldHtmlTag(u"CHECKBOX");
        const bool access = GetDBTypeId(CurrentLoadSettings().dbmsName) == DBTypeCode::Access;
        SetFldTagValues(access ? AccessBooleanValues : OtherBooleanValues);
        return;
    }
    if (IsIn(type, LongTextTypes)) {
        SetFldHtmlTag(u"TEXTAREA");
        SetFldTagCols(35);
        SetFldTagRows(4);
        return;
    }
    if (IsIn(type, ShortTextTypes)) {
        SetFldHtmlTag(u"TEXT");
        SetFldTagSize(TextTagSize);
        SetFldTagMaxLength(FldSize());
        return;
    }
    if (IsIn(type, DateTypes)) {
        SetFldHtmlTag(u"TEXT");
        const std::int16_t dateFormat = CurrentLoadSettings().defaultDateFormat;
        if (!DateValidation(dateFormat).empty()) {
            SetFldFmtType(u"Date/Time");
            SetFldDtFormat(dateFormat);
        }
        return;
    }
    if (type == DataType::GUID) {
        SetFldHtmlTag(u"TEXT");
        SetFldTagSize(GuidTagSize);
        SetFldTagMaxLength(GuidTagSize);
        return;
    }
    if (type == DataType::LongVarBinary) {
        SetFldHtmlTag(u"FILE");
        SetFldTagSize(TextTagSize);
        SetFldHrefFld(FldName());
        return;
    }
    SetFldHtmlTag(u"TEXT");
    SetFldTagSize(TextTagSize);
}

void QelField::SetValidateDefault() {
    if (FldReq()) {
        SetFldRequired(true);
    }
    const std::int16_t type = FldType();
    if (IsIn(type, IntegerTypes)) {
        SetFldValidate(u"INTEGER");
    } else if (IsIn(type, DecimalTypes)) {
        SetFldValidate(u"FLOAT");
    } else if (IsIn(type, DateTypes)) {
        if (std::u16string_view validation = DateValidation(CurrentLoadSettings().defaultDateFormat);
            !validation.empty()) {
            SetFldValidate(validation);
        }
    } else if (type == DataType::DBTime) {
        SetFldValidate(u"TIME");
    } else if (type == DataType::GUID) {
        SetFldValidate(u"GUID");
    }
}

void QelField::SetSearchOperatorDefault() {
    SetFldSrchOpr(IsIn(FldType(), LikeSearchTypes) ? u"LIKE" : u"=");
}

void QelField::SetSearchDefault() {
    SetFldSearch(FldSupport() && FldType() != DataType::LongVarBinary);
}

void QelField::SetBasicSearchDefault() {
    SetFldBasicSearch(FldSupport() && IsIn(FldType(), BasicSearchTypes));
    SetFldExtendedBasicSearch(false);
}

} // namespace qv

// Loading a field from a database column: a column of an Access table or query (DAO numbering)
// or of a recordset (ADO numbering). Either way the field ends up with an ADO type code, a
// support flag and the delimiters of a literal value, and then takes its defaults.

#include "model/field/QelField.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qv {

namespace {

namespace AdoType = ado::DataType;
namespace DaoType = dao::DataType;

/// How a column's values are written in SQL: no delimiters, text delimiters (or date
/// delimiters on Access), or whatever the field held before (binary columns).
enum class Delimiters : std::uint8_t { None, Text, DateHash, Keep };

struct DaoMapping {
    std::int16_t daoType;
    std::int16_t adoType;
    bool supported;
    Delimiters delimiters;
};

// DAO type to ADO type, tried in this order. Binary stays unsupported and keeps its
// delimiters; a long binary column becomes ADO's long binary with none.
constexpr std::array<DaoMapping, 20> DaoMappings{{
    {DaoType::BigInt, AdoType::BigInt, true, Delimiters::None},
    {DaoType::Binary, AdoType::Binary, false, Delimiters::Keep},
    {DaoType::Boolean, AdoType::Boolean, true, Delimiters::None},
    {DaoType::Byte, AdoType::UnsignedTinyInt, true, Delimiters::None},
    {DaoType::Char, AdoType::Char, true, Delimiters::Text},
    {DaoType::Currency, AdoType::Currency, true, Delimiters::None},
    {DaoType::Date, AdoType::DBTimeStamp, true, Delimiters::DateHash},
    {DaoType::Decimal, AdoType::Numeric, true, Delimiters::None},
    {DaoType::Double, AdoType::Double, true, Delimiters::None},
    {DaoType::Float, AdoType::Double, true, Delimiters::None},
    {DaoType::GUID, AdoType::GUID, true, Delimiters::Text},
    {DaoType::Integer, AdoType::SmallInt, true, Delimiters::None},
    {DaoType::Long, AdoType::Integer, true, Delimiters::None},
    {DaoType::LongBinary, AdoType::LongVarBinary, true, Delimiters::None},
    {DaoType::Memo, AdoType::LongVarWChar, true, Delimiters::Text},
    {DaoType::Numeric, AdoType::Numeric, true, Delimiters::None},
    {DaoType::Single, AdoType::Single, true, Delimiters::None},
    {DaoType::Text, AdoType::VarWChar, true, Delimiters::Text},
    {DaoType::Time, AdoType::DBTimeStamp, true, Delimiters::DateHash},
    {DaoType::TimeStamp, AdoType::DBTimeStamp, true, Delimiters::DateHash},
}};

/// The type code a DAO column maps to when no row lists it (variable binary included).
constexpr std::int16_t UnmappedType = -1;

constexpr std::int32_t AdoNumericTypes[] = {
    AdoType::BigInt,           AdoType::Boolean,         AdoType::Currency,
    AdoType::Decimal,          AdoType::Double,          AdoType::Integer,
    AdoType::Numeric,          AdoType::Single,          AdoType::SmallInt,
    AdoType::TinyInt,          AdoType::UnsignedBigInt,  AdoType::UnsignedInt,
    AdoType::UnsignedSmallInt, AdoType::UnsignedTinyInt, 139, // adVarNumeric
};
constexpr std::int32_t AdoQuotedTypes[] = {
    AdoType::BSTR,        AdoType::Char,        AdoType::Date,          AdoType::DBDate,  AdoType::DBTime,
    AdoType::DBTimeStamp, AdoType::LongVarChar, AdoType::LongVarWChar,  AdoType::VarChar, AdoType::VarWChar,
    AdoType::WChar,       AdoType::GUID,        AdoType::LongVarBinary,
};
constexpr std::int32_t AdoDateTypes[] = {AdoType::Date, AdoType::DBDate, AdoType::DBTime,
                                         AdoType::DBTimeStamp};

bool IsIn(std::int32_t code, std::span<const std::int32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

/// A type code as a number; a value that is no number matches no code.
std::optional<std::int32_t> TypeCode(const automation::Variant& code) {
    if (!code.IsNumeric()) {
        return std::nullopt;
    }
    return automation::ToLong(code);
}

[[noreturn]] void RaiseNoColumnObject(std::u16string_view member) {
    // Column objects exist only inside the library's own table loaders; a late-bound caller
    // has nothing it could pass.
    automation::Raise(automation::ErrorNumber::ObjectRequired, std::u16string(member),
                      u"Object required: the column object of a table loader");
}

} // namespace

void QelField::SetDaoFieldType(const automation::Variant& daoType) {
    const std::optional<std::int32_t> code = TypeCode(daoType);
    const auto row = std::find_if(DaoMappings.begin(), DaoMappings.end(),
                                  [&](const DaoMapping& mapping) { return code == mapping.daoType; });
    if (row == DaoMappings.end()) {
        SetFldType(UnmappedType);
        SetFldSupport(false);
        return;
    }
    SetFldType(row->adoType);
    SetFldSupport(row->supported);
    switch (row->delimiters) {
    case Delimiters::None:
        SetFldQuoteS(u"");
        SetFldQuoteE(u"");
        return;
    case Delimiters::Text:
        SetFldQuoteS(u"'");
        SetFldQuoteE(u"'");
        return;
    case Delimiters::DateHash:
        SetFldQuoteS(u"#");
        SetFldQuoteE(u"#");
        return;
    case Delimiters::Keep:
        return;
    }
}

std::int32_t QelField::GetDaoFieldAttributes(const dao::Field& DAOfld) const {
    std::int32_t attributes = 0;
    if ((DAOfld.attributes & dao::FieldAttribute::FixedField) != 0) {
        attributes += ado::FieldAttribute::Fixed;
    }
    if ((DAOfld.attributes & dao::FieldAttribute::AutoIncrField) == 0) {
        attributes += ado::FieldAttribute::Updatable;
    }
    if (!DAOfld.required) {
        attributes += ado::FieldAttribute::IsNullable;
    }
    return attributes;
}

void QelField::SetAdoFieldType(const automation::Variant& adoType) {
    SetFldType(automation::ToInteger(adoType));
    const std::int32_t code = automation::ToLong(adoType);
    if (IsIn(code, AdoNumericTypes)) {
        SetFldSupport(true);
        SetFldQuoteS(u"");
        SetFldQuoteE(u"");
        return;
    }
    if (IsIn(code, AdoQuotedTypes)) {
        SetFldSupport(true);
        const bool accessDate =
            IsIn(code, AdoDateTypes) && GetDBTypeId(State().gDbmsName) == DBTypeCode::Access;
        const char16_t* delimiter = accessDate ? u"#" : u"'";
        SetFldQuoteS(delimiter);
        SetFldQuoteE(delimiter);
        return;
    }
    // An unsupported type keeps its real code and whatever delimiters the field had.
    SetFldSupport(false);
}

void QelField::LoadFld_DAO(const dao::Field& DAOfld) {
    SetFldName(DAOfld.name);
    SetDaoFieldType(automation::Variant(DAOfld.type));
    SetFldSize(DAOfld.size);
    SetFldUniqueIdx(false);
    SetFldAttribute(GetDaoFieldAttributes(DAOfld));
    SetFldAutoIncrement(DAOfld.IsAutoIncrement());
    SetFldDefault(automation::Variant(DAOfld.defaultValue));
    SetFldZeroLen(DAOfld.allowZeroLength);
    SetFldReq(DAOfld.required);
    // The caption is a designer's property that most columns lack; LoadFldDefault derives one
    // from the name only when none was read here.
    if (std::optional<std::u16string> caption = DAOfld.Caption(); caption && !caption->empty()) {
        SetFldCaption(*caption);
    }
    LoadFldDefault();
}

void QelField::LoadFld_ADO(const ado::Field& ADOfld) {
    SetFldName(ADOfld.Name());
    SetAdoFieldType(automation::Variant(ADOfld.Type()));
    SetFldSize(ADOfld.DefinedSize());
    SetFldZeroLen(true);
    SetFldReq(false);
    SetFldUniqueIdx(false);
    SetFldAttribute(ADOfld.Attributes());
    // A driver that cannot tell (no property, or Null) does not make a column auto-increment.
    const std::optional<automation::Variant> autoIncrement = ADOfld.Property(u"ISAUTOINCREMENT");
    SetFldAutoIncrement(autoIncrement && !autoIncrement->IsNull() && automation::ToBoolean(*autoIncrement));
    LoadFldDefault();
}

void QelField::LoadFld_DAOMember(automation::Variant&) {
    RaiseNoColumnObject(u"QelField.LoadFld_DAO");
}

void QelField::LoadFld_ADOMember(automation::Variant&) {
    RaiseNoColumnObject(u"QelField.LoadFld_ADO");
}

} // namespace qv

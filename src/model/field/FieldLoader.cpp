// Loading a field from a database column: a column of an Access table or query (DAO numbering)
// or of a recordset (ADO numbering). Either way the field ends up with an ADO type code, a
// support flag and the delimiters of a literal value, and then takes its defaults.

#include "model/field/QelField.h"

#include "model/CatalogFacts.h"
#include "model/LoadSettings.h"

#include "core/Apartment.h"
#include "core/QelVars.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Field.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace qv {

namespace {

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

void QelField::ApplyColumnType(const catalog::ColumnType& column) {
    SetFldType(column.type);
    SetFldSupport(column.supported);
    if (column.quote) {
        SetFldQuoteS(*column.quote);
        SetFldQuoteE(*column.quote);
    }
}

void QelField::SetDaoFieldType(const automation::Variant& daoType) {
    const std::optional<std::int32_t> code = TypeCode(daoType);
    // A code beyond the Integer range is no DAO type either.
    const bool isDaoType = code && *code >= std::numeric_limits<std::int16_t>::min() &&
                           *code <= std::numeric_limits<std::int16_t>::max();
    ApplyColumnType(catalog::DaoColumnType(isDaoType ? static_cast<std::int16_t>(*code) : std::int16_t{-1}));
}

std::int32_t QelField::GetDaoFieldAttributes(const dao::Field& DAOfld) const {
    return catalog::DaoAttributesToAdo(DAOfld);
}

void QelField::SetAdoFieldType(const automation::Variant& adoType) {
    // Type conversion first: a code that is no Integer raises before anything changes.
    const std::int16_t type = automation::ToInteger(adoType);
    ApplyColumnType(catalog::AdoColumnType(type, GetDBTypeId(CurrentLoadSettings().dbmsName)));
}

void QelField::LoadBooleanType() {
    ApplyColumnType(
        catalog::AdoColumnType(ado::DataType::Boolean, GetDBTypeId(CurrentLoadSettings().dbmsName)));
    LoadFldDefault();
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
    SetFldAutoIncrement(catalog::IsAutoIncrement(ADOfld));
    LoadFldDefault();
}

void QelField::LoadFld_DAOMember(automation::Variant&) {
    RaiseNoColumnObject(u"QelField.LoadFld_DAO");
}

void QelField::LoadFld_ADOMember(automation::Variant&) {
    RaiseNoColumnObject(u"QelField.LoadFld_ADO");
}

} // namespace qv

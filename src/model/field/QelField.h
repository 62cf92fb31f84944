#pragma once

#include "core/Settings.h"
#include "core/SettingsEntity.h"

#include "platform/automation/Object.h"

#include <cstdint>
#include <string>

namespace qv::ado {
class Field;
}
namespace qv::dao {
struct Field;
}
namespace qv::catalog {
struct ColumnType;
}

namespace qv {

/// One column of a table, view, custom view or report: the column as the database describes it
/// and the user's settings for how the generated pages treat it, all 113 of them in its bag.
/// Only the field list (QelFields) makes fields; the list owns them, and a field knows nothing of
/// its table. At construction the settings marked for the registry take the user's defaults from
/// the field key (gRegKeyField).
class QelField final : public SettingsEntity {
public:
    enum class Setting : std::uint16_t {
#define QV_SETTING QV_SETTING_ENUMERATOR
#include "model/field/FieldSettings.def"
    };

#define QV_SETTING QV_SETTING_ACCESSORS
#include "model/field/FieldSettings.def"

    QelField();

    /// The field's settings table.
    static const SettingsTable& Settings();
    const automation::ClassInfo& GetClassInfo() const override;

    /// An alias of FldName. The keyed collection sets it when the field list renames a field.
    std::u16string Key() const;
    void SetKey(std::u16string key);

    /// FldVar without its two-character prefix "x_": from its third character on; "" when it is
    /// shorter than three characters.
    std::u16string FldParm() const;

    /// Gives the field the user settings its column suggests, by its type, its schema flags, the
    /// database kind (gDbmsName) and the project's date format and repeat count
    /// (gDefaultDateFormat, gRepeatColumns). Every run rewrites the same settings.
    void LoadFldDefault();

    // --- Loading from a database column (defined with the column loaders) ---

    /// Fills the schema settings from a column of an Access table or query, then LoadFldDefault.
    void LoadFld_DAO(const dao::Field& DAOfld);
    /// Fills the schema settings from a column of an ADO recordset, then LoadFldDefault.
    void LoadFld_ADO(const ado::Field& ADOfld);
    /// Makes a column loaded as a TINYINT the Boolean the catalogue says it is (MariaDB's and
    /// MySQL's BOOLEAN), then LoadFldDefault.
    void LoadBooleanType();

private:
    // The steps of LoadFldDefault, in the order it runs them.
    void SetHtmlTagDefault();
    void SetValidateDefault();
    void SetSearchOperatorDefault();
    void SetSearchDefault();
    void SetBasicSearchDefault();

    // Helpers of the column loaders (defined with them).
    void ApplyColumnType(const catalog::ColumnType& column);
    void SetDaoFieldType(const automation::Variant& daoType);
    std::int32_t GetDaoFieldAttributes(const dao::Field& DAOfld) const;
    void SetAdoFieldType(const automation::Variant& adoType);
    // The loaders as late-bound callers reach them; the argument holds the column object.
    void LoadFld_DAOMember(automation::Variant& DAOfld);
    void LoadFld_ADOMember(automation::Variant& ADOfld);
};

} // namespace qv

// What the column loaders and the defaults write into a field, for every column type on every
// kind of database, under every schema flag and project date format, against
// golden/columns-ado.txt and golden/columns-dao.txt.
//
// Before each load every setting holds 0.5, a value no setter stores, so that a line shows
// exactly the settings the load wrote; only the caption starts empty, as the load derives one
// from the name only when there is none.

#include "ModelFixture.h"
#include "ModelGolden.h"

#include "model/LoadSettings.h"
#include "model/field/QelField.h"

#include "core/QoProperties.h"

#include "platform/ado/Field.h"
#include "platform/dao/Constants.h"
#include "platform/dao/Field.h"

#include <initializer_list>
#include <string>

namespace qv {
namespace {

using automation::Ref;
using automation::Variant;

// Every ADO type code, also those no rule names (empty, variant, file time, binary,
// user-defined, chapter, variable binary).
constexpr std::int32_t AdoTypes[] = {0,   2,   3,   4,   5,   6,   7,   8,   11,  12,  14,  16,
                                     17,  18,  19,  20,  21,  64,  72,  128, 129, 130, 131, 132,
                                     133, 134, 135, 136, 139, 200, 201, 202, 203, 204, 205};

// One DBMS name for each kind of database.
constexpr std::u16string_view Dbms[] = {u"ACCESS", u"Microsoft SQL Server", u"MySQL", u"Oracle",
                                        u"PostgreSQL"};

class ColumnGoldenTest : public test::ModelTest {
protected:
    static Ref<QelField> PreparedField() {
        Ref<QelField> field = automation::MakeRef<QelField>();
        for (QoProperty& setting : *field->Properties()) {
            setting.SetValue(Variant(0.5));
        }
        field->SetFldCaption(u"");
        return field;
    }

    static void UseProject(std::u16string_view dbms, std::int16_t dateFormat) {
        CurrentLoadSettings().dbmsName = dbms;
        CurrentLoadSettings().defaultDateFormat = dateFormat;
        CurrentLoadSettings().repeatColumns = 3;
    }

    test::SettingEntries Written(const QelField& field) const {
        return test::ChangedSettings(field, mPrepared);
    }

    void SetUp() override {
        test::ModelTest::SetUp();
        mPrepared = test::ChangedSettings(*PreparedField());
    }

    test::SettingEntries mPrepared;
};

TEST_F(ColumnGoldenTest, AdoColumnsOfEveryTypeOnEveryKindOfDatabase) {
    struct Flags {
        const char* label;
        bool autoIncrement;
        std::int32_t attributes;
    };
    const Flags flagCases[] = {
        {"updatable", false, 4},
        {"not updatable", false, 0},
        {"updatability unknown", false, 8},
        {"auto-increment", true, 0},
    };
    test::GroupedEntries cells;
    for (std::int32_t type : AdoTypes) {
        for (std::u16string_view dbms : Dbms) {
            for (const Flags& flags : flagCases) {
                // The project's date format only matters to some types; 6 stands for it elsewhere.
                for (std::int16_t dateFormat : std::initializer_list<std::int16_t>{0, 5, 6, 7, 8}) {
                    const bool date = type == 7 || type == 133 || type == 135;
                    if (dateFormat != 6 && !date) {
                        continue;
                    }
                    UseProject(dbms, dateFormat);
                    ado::FieldDescription description;
                    description.name = u"Unit Price";
                    description.type = type;
                    description.definedSize = 50;
                    description.attributes = flags.attributes;
                    description.isAutoIncrement = flags.autoIncrement;
                    const Ref<QelField> field = PreparedField();
                    field->LoadFld_ADO(ado::Field(description));
                    cells.Add("type " + std::to_string(type),
                              automation::ToUtf8(dbms) + ", " + flags.label +
                                  (date ? ", date format " + std::to_string(dateFormat) : ""),
                              Written(*field));
                }
            }
        }
    }
    std::string text;
    cells.WriteTo(text);
    test::ExpectGolden("columns-ado.txt", text);
}

TEST_F(ColumnGoldenTest, DaoColumnsOfEveryTypeAndAttribute) {
    test::GroupedEntries cells;
    // Every DAO code, variable binary (17), codes beyond them and the layer's "cannot describe".
    // Access columns get their delimiters by their DAO type whatever the DBMS name says; the
    // defaults still follow the kind of database.
    for (std::int16_t daoType = -1; daoType <= 25; ++daoType) {
        for (std::u16string_view dbms : {u"ACCESS", u"PostgreSQL"}) {
            for (bool autoIncrement : {false, true}) {
                UseProject(dbms, 7);
                dao::Field source;
                source.name = u"Ship Date";
                source.type = daoType;
                source.size = 40;
                source.attributes = autoIncrement ? dao::FieldAttribute::AutoIncrField : 0;
                const Ref<QelField> field = PreparedField();
                field->LoadFld_DAO(source);
                cells.Add("DAO type " + std::to_string(daoType),
                          automation::ToUtf8(dbms) + (autoIncrement ? ", auto-increment" : ""),
                          Written(*field));
            }
        }
    }

    // The schema flags of a Long column in every combination, and a designer's caption.
    UseProject(u"ACCESS", 7);
    for (std::int32_t fixed : {0, 0x1}) {
        for (std::int32_t autoIncrement : {0, 0x10}) {
            for (std::int32_t other : {0, 0x2 | 0x20}) {
                for (bool required : {false, true}) {
                    dao::Field source;
                    source.name = u"Qty";
                    source.type = 4;
                    source.size = 4;
                    source.attributes = fixed | autoIncrement | other;
                    source.required = required;
                    source.allowZeroLength = !required;
                    source.defaultValue = required ? u"0" : u"";
                    if (fixed != 0 && other != 0) {
                        source.properties.push_back({u"Caption", u"Quantity ordered"});
                    }
                    const Ref<QelField> field = PreparedField();
                    field->LoadFld_DAO(source);
                    cells.Add("DAO attributes",
                              "attributes " + std::to_string(source.attributes) +
                                  (required ? ", required" : ", optional") +
                                  (source.properties.empty() ? "" : ", caption"),
                              Written(*field));
                }
            }
        }
    }
    std::string text;
    cells.WriteTo(text);
    test::ExpectGolden("columns-dao.txt", text);
}

} // namespace
} // namespace qv

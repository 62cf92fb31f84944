#pragma once

#include "model/ModelFixture.h"

#include "model/table/QelDatabase.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Field.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/host/ScriptedHost.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace qv::test {

/// A model apartment with one database to load into, and lookups that fail the test with the
/// name of what is missing.
class LoaderTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        mDatabase = automation::MakeRef<QelDatabase>();
    }

    void TearDown() override {
        mDatabase = {};
        ModelTest::TearDown();
    }

    QelTables& Tables() { return *mDatabase->tables(); }

    /// The table named exactly so; fails the test and returns null when there is none.
    QelTable* Table(std::u16string_view name) {
        QelTable* table = Tables().Find(name);
        EXPECT_NE(table, nullptr) << "no table " << automation::ToUtf8(name);
        return table;
    }

    /// The field of a table; fails the test and returns null when either is missing.
    QelField* Field(std::u16string_view table, std::u16string_view field) {
        QelTable* found = Table(table);
        if (found == nullptr) {
            return nullptr;
        }
        QelField* column = found->Fields()->Find(field);
        EXPECT_NE(column, nullptr) << "no field " << automation::ToUtf8(field) << " in "
                                   << automation::ToUtf8(table);
        return column;
    }

    /// The names of a table's fields in order.
    std::vector<std::u16string> FieldNames(std::u16string_view table) {
        std::vector<std::u16string> names;
        if (QelTable* found = Table(table)) {
            for (QelField& field : *found->Fields()) {
                names.push_back(field.FldName());
            }
        }
        return names;
    }

    /// The information lines the loaders showed.
    std::vector<std::u16string> ProgressLines() const {
        return mHost.Texts(host::HostCallKind::ProgressInfo);
    }

    automation::Ref<QelDatabase> mDatabase;
};

inline std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

/// A tables rowset in memory: one (schema, name, type) per row.
inline ado::Recordset TablesRowset(const std::vector<std::array<std::u16string_view, 3>>& rows) {
    std::vector<ado::Field> fields;
    for (std::u16string_view name : {u"TABLE_SCHEMA", u"TABLE_NAME", u"TABLE_TYPE"}) {
        ado::FieldDescription description;
        description.name = name;
        description.type = ado::DataType::VarWChar;
        fields.emplace_back(description);
    }
    std::vector<automation::Variant> values;
    for (const auto& row : rows) {
        for (std::u16string_view value : row) {
            values.emplace_back(value);
        }
    }
    return ado::Recordset(ado::Fields(std::move(fields)), std::move(values));
}

} // namespace qv::test

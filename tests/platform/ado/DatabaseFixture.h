#pragma once

#include "db/TestDatabases.h"

#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Text.h"
#include "platform/automation/Variant.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qv::ado::test {

/// A fresh test database of the parameter's kind and an open connection to it; skips when the
/// kind's server is not running here.
class DatabaseTest : public ::testing::TestWithParam<testdb::DatabaseKind> {
protected:
    void SetUp() override {
        if (std::optional<std::string> reason = testdb::TestDatabase::Unavailable(GetParam())) {
            GTEST_SKIP() << *reason;
        }
        mDatabase = std::make_unique<testdb::TestDatabase>(GetParam());
        mConnection.Open(mDatabase->ConnectionString());
    }

    testdb::DatabaseKind Kind() const { return GetParam(); }
    bool IsServer() const { return Kind() != testdb::DatabaseKind::SQLite; }

    Recordset Schema(std::int32_t schema, std::vector<automation::Variant> restrictions = {}) {
        return mConnection.OpenSchema(schema, restrictions);
    }

    /// The text of one column over every row, from the first.
    static std::vector<std::u16string> Column(Recordset& rows, std::u16string_view name) {
        std::vector<std::u16string> values;
        for (rows.MoveFirst(); !rows.Eof(); rows.MoveNext()) {
            const automation::Variant& value = rows.Value(name);
            values.push_back(value.IsNull() ? u"<null>" : automation::ToString(value));
        }
        return values;
    }

    /// The name of the table whose name holds the driver's own identifier quote.
    std::u16string QuoteTableName() const { return u"quote" + mConnection.IdentifierQuote() + u"table"; }

    std::unique_ptr<testdb::TestDatabase> mDatabase;
    Connection mConnection; // closed before the database is dropped
};

inline std::string KindTestName(const ::testing::TestParamInfo<testdb::DatabaseKind>& info) {
    return testdb::KindName(info.param);
}

inline std::string Utf8(std::u16string_view text) {
    return automation::ToUtf8(text);
}

} // namespace qv::ado::test

#pragma once

#include "model/loaders/LoaderFixture.h"

#include "schema/internal/QelSchema.h"

#include "model/table/QelTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qv::test {

/// A model apartment with a schema reader beside the loader's database, and the check that
/// what the reader gives agrees with what the model's loader loaded from the same database.
class SchemaTest : public LoaderTest {
protected:
    void SetUp() override {
        LoaderTest::SetUp();
        mSchema = automation::MakeRef<QelSchema>();
    }
    void TearDown() override {
        mSchema = {};
        LoaderTest::TearDown();
    }

    /// The reader's record of a table, or null.
    const QoSchemaTable* Record(std::u16string_view name) const {
        for (std::int16_t i = 1; i <= mSchema->tblcnt(); ++i) {
            if (mSchema->Table(i).TblName == name) {
                return &mSchema->Table(i);
            }
        }
        return nullptr;
    }

    /// The same table as the loader loaded it and as the reader read it: name, type, key,
    /// completeness, and column by column what the check and the synchronisation compare.
    static void ExpectAgrees(const QoSchemaTable& record, QelTable& table) {
        SCOPED_TRACE(Utf8(record.TblName));
        EXPECT_EQ(record.TblType, table.TblType());
        EXPECT_EQ(record.TblKey, table.TblKey());
        EXPECT_EQ(record.TblGen, table.TblGen());
        ASSERT_EQ(record.TblFldCnt, table.Fields()->Count());
        std::int16_t position = 0;
        for (QelField& field : *table.Fields()) {
            const QoSchemaField& column = *record.Field(++position);
            SCOPED_TRACE(Utf8(column.FldName));
            EXPECT_EQ(column.FldSeq, position);
            EXPECT_EQ(column.FldName, field.FldName());
            EXPECT_EQ(column.FldType, field.FldType());
            EXPECT_EQ(column.FldSupport, field.FldSupport());
            EXPECT_EQ(column.FldSize, field.FldSize());
            EXPECT_EQ(column.FldUniqueIdx, field.FldUniqueIdx());
            EXPECT_EQ(column.FldZeroLen, field.FldZeroLen());
            EXPECT_EQ(column.FldReq, field.FldReq());
            EXPECT_EQ(column.FldIsPrimaryKey, field.FldIsPrimaryKey());
            EXPECT_EQ(column.FldAutoIncrement, field.FldAutoIncrement());
            EXPECT_EQ(column.FldAttribute, field.FldAttribute());
            EXPECT_EQ(column.FldQuoteS, field.FldQuoteS());
            EXPECT_EQ(column.FldQuoteE, field.FldQuoteE());
        }
    }

    /// Every table and view of the model has its record and agrees with it, and the reader has
    /// no table the model lacks.
    void ExpectAllAgree() {
        std::vector<std::u16string> modelNames;
        for (QelTable& table : Tables()) {
            modelNames.push_back(table.TblName());
            const QoSchemaTable* record = Record(table.TblName());
            if (record == nullptr) {
                ADD_FAILURE() << "no record of " << Utf8(table.TblName());
                continue;
            }
            ExpectAgrees(*record, table);
        }
        std::vector<std::u16string> recordNames;
        for (std::int16_t i = 1; i <= mSchema->tblcnt(); ++i) {
            EXPECT_EQ(mSchema->Table(i).TblSeq, i);
            recordNames.push_back(mSchema->Table(i).TblName);
        }
        std::sort(modelNames.begin(), modelNames.end());
        std::sort(recordNames.begin(), recordNames.end());
        EXPECT_EQ(recordNames, modelNames);
    }

    automation::Ref<QelSchema> mSchema;
};

} // namespace qv::test

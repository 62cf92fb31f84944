// The schema reader on Access files, the readings it refuses, and what late-bound callers see.

#include "schema/SchemaFixture.h"

#include "model/CatalogFacts.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/ado/Constants.h"
#include "platform/ado/Recordset.h"
#include "platform/dao/AccessFixture.h"

#include <array>

namespace qv {
namespace {

using automation::Variant;

class QelSchemaTest : public test::SchemaTest {
protected:
    bool Read(std::u16string_view type, std::u16string_view physicalPath = u"",
              std::u16string_view dataSource = u"", std::u16string_view connection = u"",
              std::u16string_view password = u"") {
        Variant name(dataSource);
        return mSchema->LoadDB(name, Variant(type), Variant(u"data\\sample.mdb"), Variant(physicalPath),
                               Variant(true), Variant(u"admin"), Variant(password), Variant(connection),
                               Variant(u""));
    }
    std::u16string CopyFixture(const char* file) {
        return dao::test::PathText(dao::test::CopyFixture(mTemp, file));
    }
};

class AccessSchemaTest : public QelSchemaTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AccessSchemaTest, RecordsAgreeWithWhatTheModelLoads) {
    const std::u16string file = CopyFixture(GetParam());
    ASSERT_EQ(mDatabase->LoadDAODB(Variant(u"data\\sample.mdb"), Variant(file), Variant(true),
                                   Variant(u"admin"), Variant(u""), Variant(u"")),
              0)
        << test::Utf8(State().gProjErr);
    ASSERT_TRUE(Read(u"ACCESS", file)) << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");
    ExpectAllAgree();

    const QoSchemaDB& db = mSchema->SchemaDB();
    EXPECT_EQ(db.DBType, u"ACCESS");
    EXPECT_EQ(db.DBDBMSName, u"ACCESS");
    EXPECT_EQ(db.DBPhyPath, file);
    EXPECT_EQ(db.DBDBMSVer, mDatabase->DBDBMSVer());
    for (QelTable& table : Tables()) {
        const QoSchemaTable* record = Record(table.TblName());
        ASSERT_NE(record, nullptr);
        SCOPED_TRACE(test::Utf8(table.TblName()));
        // Views carry their SQL and the updatability derived from it; tables never have SQL.
        EXPECT_EQ(record->TblSQL, table.TblSQL());
        EXPECT_EQ(record->TblUpdatable, table.TblUpdatable());
        EXPECT_EQ(record->TblType == u"VIEW", !record->TblSQL.empty());
        std::int16_t position = 0;
        for (QelField& field : *table.Fields()) {
            const QoSchemaField& column = *record->Field(++position);
            SCOPED_TRACE(test::Utf8(column.FldName));
            // The designer's caption, else the one made from the name, as the field's default.
            EXPECT_EQ(column.FldCaption, field.FldCaption());
            EXPECT_EQ(automation::ToString(column.FldDefault), automation::ToString(field.FldDefault()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, AccessSchemaTest,
                         ::testing::Values("nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// Regression: an Access reading without a path, or a reading of an unknown type, succeeded with
// no tables, and a synchronisation after it deleted every table of the project.
TEST_F(QelSchemaTest, AReadingOfNothingFails) {
    EXPECT_FALSE(Read(u"ACCESS", u""));
    EXPECT_EQ(State().gProjErr, u"invalid database path!");
    EXPECT_EQ(mSchema->tblcnt(), 0);

    for (std::u16string_view type : {u"EXCEL", u"access", u""}) {
        SCOPED_TRACE(test::Utf8(type));
        EXPECT_FALSE(Read(type, CopyFixture("nwind.mdb")));
        EXPECT_EQ(State().gProjErr, u"invalid database type specified!");
        EXPECT_EQ(mSchema->tblcnt(), 0);
    }

    // A file that cannot be read says why, and the reader may try again.
    EXPECT_FALSE(Read(u"ACCESS", TempPath("missing.mdb")));
    EXPECT_EQ(State().gProjErr.rfind(u"Quorvane: ", 0), 0u) << test::Utf8(State().gProjErr);
    EXPECT_EQ(mSchema->tblcnt(), 0);
    EXPECT_TRUE(Read(u"ACCESS", CopyFixture("nwind.mdb"))) << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");
    EXPECT_GT(mSchema->tblcnt(), 0);
}

TEST_F(QelSchemaTest, TableRecordsAreReachedByIndexFromOne) {
    EXPECT_EQ(mSchema->tblcnt(), 0);
    EXPECT_THROW(mSchema->Tbl(0), automation::Error);
    EXPECT_THROW(mSchema->Tbl(1), automation::Error);

    ASSERT_TRUE(Read(u"ACCESS", CopyFixture("nwind.mdb")));
    const std::int16_t count = mSchema->tblcnt();
    EXPECT_EQ(mSchema->Table(0).TblName, u"");
    EXPECT_EQ(mSchema->Table(0).TblFldCnt, 0);
    EXPECT_NO_THROW(mSchema->Table(count));
    try {
        mSchema->Tbl(static_cast<std::int16_t>(count + 1));
        ADD_FAILURE() << "no error past the last table";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ErrorNumber::SubscriptOutOfRange);
    }
    EXPECT_THROW(mSchema->Tbl(-1), automation::Error);
}

TEST_F(QelSchemaTest, LateBoundCallersReadCopiesOfTheRecords) {
    const std::u16string file = CopyFixture("nwind.mdb");
    std::vector<Variant> args{Variant(u""), Variant(u"ACCESS"), Variant(u""), Variant(file), Variant(false),
                              Variant(u""), Variant(u""),       Variant(u""), Variant(u"")};
    const Variant result = automation::CallByName(*mSchema, u"loaddb", automation::InvokeKind::Method, args);
    ASSERT_TRUE(automation::ToBoolean(result)) << test::Utf8(State().gProjErr);
    const Variant count = automation::CallByName(*mSchema, u"tblcnt", automation::InvokeRead);
    ASSERT_EQ(automation::ToInteger(count), mSchema->tblcnt());

    // The first table with a key: its record, its columns and one column, by name.
    std::int16_t keyed = 1;
    while (mSchema->Table(keyed).TblKey.empty()) {
        ++keyed;
    }
    const QoSchemaTable& expected = mSchema->Table(keyed);
    const Variant table =
        automation::CallByName(*mSchema, u"Tbl", automation::InvokeRead, {Variant(std::int32_t{keyed})});
    ASSERT_TRUE(table.IsObject());
    automation::Object& record = *table.ObjectValue();
    EXPECT_EQ(record.TypeName(), u"QoSchemaTable");
    auto read = [](automation::Object& object, std::u16string_view member, std::vector<Variant> args = {}) {
        return automation::CallByName(object, member, automation::InvokeRead, std::move(args));
    };
    EXPECT_EQ(automation::ToString(read(record, u"TblName")), expected.TblName);
    EXPECT_EQ(automation::ToString(read(record, u"TblKey")), expected.TblKey);
    EXPECT_EQ(automation::ToInteger(read(record, u"TblFldCnt")), expected.TblFldCnt);
    const Variant fields = read(record, u"TblFields");
    const Variant column = read(*fields.ObjectValue(), u"fld", {Variant(std::int32_t{1})});
    EXPECT_EQ(automation::ToString(read(*column.ObjectValue(), u"FldName")), expected.Field(1)->FldName);
    EXPECT_EQ(automation::ToInteger(read(*column.ObjectValue(), u"FldType")), expected.Field(1)->FldType);
    EXPECT_THROW(read(*fields.ObjectValue(), u"fld", {Variant(std::int32_t{expected.TblFldCnt + 1})}),
                 automation::Error);
}

TEST_F(QelSchemaTest, AReadingShowsItsProgressAndClosesIt) {
    ASSERT_TRUE(Read(u"ACCESS", CopyFixture("nwind.mdb")));
    const std::vector<std::u16string> captions = mHost.Texts(host::HostCallKind::ShowProgress);
    ASSERT_EQ(captions.size(), 1u);
    EXPECT_EQ(captions.front(), u"Quorvane - Checking Database Schema...");
    EXPECT_FALSE(GetStatus().IsOpen());
    const std::vector<std::u16string> lines = ProgressLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading Database Views..."), lines.end());
}

// Regression: a schema prompt closed without a choice let the reader read the tables of no
// owner, or of an earlier choice, and report success.
TEST_F(QelSchemaTest, ASchemaPromptLeftWithoutAChoiceFailsTheReading) {
    ado::Recordset rs = test::TablesRowset({{u"hr", u"EMPLOYEES", u"TABLE"}, {u"SYS", u"DUAL", u"TABLE"}});
    std::vector<std::u16string> owners;
    mHost.Answer(host::SchemaAnswer{});
    try {
        catalog::ChooseSchemaOwner(rs, u"", u"nobody", owners);
        ADD_FAILURE() << "a dismissed prompt passed";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Description(), catalog::NoSchemaChosenText);
    }
    EXPECT_EQ(owners, (std::vector<std::u16string>{u"", u"HR", u"SYS"}));

    mHost.Answer(host::SchemaAnswer{u"SYS"});
    EXPECT_EQ(catalog::ChooseSchemaOwner(rs, u"", u"nobody", owners), u"SYS");
    // The user's own schema needs no question.
    EXPECT_EQ(catalog::ChooseSchemaOwner(rs, u"", u"hr", owners), u"HR");
    EXPECT_EQ(mHost.Count(host::HostCallKind::ChooseSchema), 2u);
}

} // namespace
} // namespace qv

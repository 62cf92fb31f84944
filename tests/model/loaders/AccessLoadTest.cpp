// The Access loader against the sample files: tables, queries that are views, their keys, and
// the error text of a file that cannot be read.

#include "model/LoadSettings.h"
#include "model/loaders/LoaderFixture.h"

#include "core/Apartment.h"
#include "core/QelStatus.h"

#include "platform/ado/Constants.h"
#include "platform/dao/AccessFixture.h"
#include "platform/dao/Constants.h"

#include <algorithm>
#include <cctype>

namespace qv {
namespace {

using automation::Variant;
namespace AdoType = ado::DataType;

/// What one field of a sample file must come out as.
struct FieldExpectation {
    std::u16string_view table;
    std::u16string_view field;
    std::int16_t type;
    std::u16string_view valueQuote;
    bool primaryKey;
    bool unique;
    bool required;
    bool autoIncrement;
    std::u16string_view caption;
    std::u16string_view htmlTag;
};

/// What a view of a sample file must come out as.
struct ViewExpectation {
    std::u16string_view name;
    bool updatable;
    std::u16string_view key;
    bool viewPage; // TblView: set when the key comes from a join
};

struct SampleFile {
    const char* file;
    std::u16string_view version;
    std::size_t tableCount;
    std::size_t viewCount;
    std::vector<FieldExpectation> fields;
    std::vector<std::pair<std::u16string_view, std::u16string_view>> tableKeys;
    std::vector<ViewExpectation> views;
};

void PrintTo(const SampleFile& sample, std::ostream* stream) {
    *stream << sample.file;
}

const SampleFile SampleFiles[] = {
    {"nwind.mdb",
     u"3.0",
     9,
     19,
     {
         {u"Categories", u"CategoryID", AdoType::Integer, u"", true, true, false, true, u"Category ID",
          u"NO"},
         {u"Categories", u"CategoryName", AdoType::VarWChar, u"'", false, true, true, false, u"Category Name",
          u"TEXT"},
         // A long binary column of Access has no delimiters.
         {u"Categories", u"Picture", AdoType::LongVarBinary, u"", false, false, false, false, u"Picture",
          u"FILE"},
         // The designer's caption wins over the one made from the name.
         {u"Order Details", u"ProductID", AdoType::Integer, u"", true, false, true, false, u"Product",
          u"TEXT"},
         {u"Order Details", u"OrderID", AdoType::Integer, u"", true, false, false, false, u"Order ID",
          u"TEXT"},
         {u"Products", u"UnitPrice", AdoType::Currency, u"", false, false, false, false, u"Unit Price",
          u"TEXT"},
         {u"Products", u"Discontinued", AdoType::Boolean, u"", false, false, false, false, u"Discontinued",
          u"CHECKBOX"},
         {u"Ums\u00e4tze", u"OrderID", AdoType::Integer, u"", true, true, false, true, u"Order ID", u"NO"},
     },
     {{u"Order Details", u"OrderID\r\nProductID"},
      {u"Customers", u"CustomerID"},
      {u"Ums\u00e4tze", u"OrderID"}},
     {
         // Categories joined on its own key to Products: the right table's key.
         {u"Alphabetical List of Products", true, u"ProductID", true},
         {u"Orders Qry", true, u"OrderID", true},
         // One table whose key the view selects.
         {u"Current Product List", true, u"ProductID", false},
         {u"Category Sales for 1995", false, u"", false},
         // Updatable, but without the key of its table.
         {u"Invoices", true, u"", false},
     }},
    {"DateTestDatabase.mdb",
     u"4.0",
     1,
     0,
     {
         {u"DateTest", u"DateTimeCol", AdoType::DBTimeStamp, u"#", false, false, false, false,
          u"Date Time Col", u"TEXT"},
         {u"DateTest", u"LongTextCol", AdoType::LongVarWChar, u"'", false, false, false, false,
          u"Long Text Col", u"TEXTAREA"},
     },
     {{u"DateTest", u""}},
     {}},
    {"ASampleDatabase.accdb",
     u"12.0",
     1,
     3,
     {
         {u"Asset Items", u"Asset No", AdoType::VarWChar, u"'", true, true, false, false, u"Asset No",
          u"TEXT"},
         {u"Asset Items", u"Acquired", AdoType::DBTimeStamp, u"#", false, false, false, false, u"Acquired",
          u"TEXT"},
     },
     {{u"Asset Items", u"Asset No"}},
     {
         {u"qryComputerHardwareInOwnerOrder", true, u"Asset No", false},
         {u"qryCostsSummedByOwner", false, u"", false},
     }},
};

class AccessLoadTest : public test::LoaderTest {
protected:
    std::filesystem::path Copy(const char* file) { return dao::test::CopyFixture(mTemp, file); }

    std::int16_t Load(const std::filesystem::path& file, std::u16string_view password = u"",
                      std::u16string_view tableName = u"") {
        return mDatabase->LoadDAODB(Variant(u"data\\sample.mdb"), Variant(dao::test::PathText(file)),
                                    Variant(true), Variant(u"admin"), Variant(password), Variant(tableName));
    }

    std::size_t CountOfType(std::u16string_view type) {
        return static_cast<std::size_t>(
            std::count_if(Tables().begin(), Tables().end(),
                          [&](const QelTable& table) { return table.TblType() == type; }));
    }
};

class AccessSampleTest : public AccessLoadTest, public ::testing::WithParamInterface<SampleFile> {};

TEST_P(AccessSampleTest, LoadsTablesViewsKeysAndFields) {
    const SampleFile& sample = GetParam();
    const auto file = Copy(sample.file);
    ASSERT_EQ(Load(file), 0) << test::Utf8(State().gProjErr);
    EXPECT_EQ(State().gProjErr, u"");

    EXPECT_EQ(mDatabase->DBType(), u"ACCESS");
    EXPECT_EQ(mDatabase->DBPath(), u"data\\sample.mdb");
    EXPECT_EQ(mDatabase->DBPhyPath(), dao::test::PathText(file));
    EXPECT_TRUE(mDatabase->DBUseServerMapPath());
    EXPECT_EQ(mDatabase->DBUID(), u"admin");
    EXPECT_EQ(mDatabase->DBDBMSName(), u"ACCESS");
    EXPECT_EQ(mDatabase->DBDBMSVer(), sample.version);
    EXPECT_EQ(mDatabase->DBOLEDBVer(), u"N.A.");
    EXPECT_EQ(mDatabase->DBProviderName(), u"N.A.");
    EXPECT_EQ(mDatabase->DBQuoteS(), u"[");
    EXPECT_EQ(mDatabase->DBQuoteE(), u"]");
    EXPECT_EQ(CurrentLoadSettings().dbmsName, u"ACCESS");

    // Hidden and system tables and queries that are not views stay out.
    EXPECT_EQ(CountOfType(u"TABLE"), sample.tableCount);
    EXPECT_EQ(CountOfType(u"VIEW"), sample.viewCount);
    for (QelTable& table : Tables()) {
        SCOPED_TRACE(test::Utf8(table.TblName()));
        EXPECT_NE(table.TblName().substr(0, 4), u"MSys");
        EXPECT_TRUE(table.TblGen());
        EXPECT_TRUE(table.TblLoaded());
        EXPECT_EQ(table.TblCaption().empty(), false);
        EXPECT_EQ(table.TblType() == u"VIEW", !table.TblSQL().empty());
    }

    for (const FieldExpectation& row : sample.fields) {
        SCOPED_TRACE(test::Utf8(row.table) + "." + test::Utf8(row.field));
        QelField* field = Field(row.table, row.field);
        if (field == nullptr) {
            continue;
        }
        EXPECT_EQ(field->FldType(), row.type);
        EXPECT_TRUE(field->FldSupport());
        EXPECT_EQ(field->FldQuoteS(), row.valueQuote);
        EXPECT_EQ(field->FldQuoteE(), row.valueQuote);
        EXPECT_EQ(field->FldIsPrimaryKey(), row.primaryKey);
        EXPECT_EQ(field->FldUniqueIdx(), row.unique);
        EXPECT_EQ(field->FldReq(), row.required);
        EXPECT_EQ(field->FldAutoIncrement(), row.autoIncrement);
        EXPECT_EQ(field->FldCaption(), row.caption);
        EXPECT_EQ(field->FldHtmlTag(), row.htmlTag);
    }
    for (const auto& [table, key] : sample.tableKeys) {
        SCOPED_TRACE(test::Utf8(table));
        if (QelTable* found = Table(table)) {
            EXPECT_EQ(found->TblKey(), key);
        }
    }
    for (const ViewExpectation& row : sample.views) {
        SCOPED_TRACE(test::Utf8(row.name));
        QelTable* view = Table(row.name);
        if (view == nullptr) {
            continue;
        }
        EXPECT_EQ(view->TblType(), u"VIEW");
        EXPECT_EQ(view->TblUpdatable(), row.updatable);
        EXPECT_EQ(view->TblKey(), row.key);
        EXPECT_EQ(view->TblView(), row.viewPage);
        EXPECT_FALSE(view->TblAdd());
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, AccessSampleTest, ::testing::ValuesIn(SampleFiles),
                         [](const ::testing::TestParamInfo<SampleFile>& info) {
                             std::string name = info.param.file;
                             name.erase(std::remove_if(name.begin(), name.end(),
                                                       [](char c) { return !std::isalnum(c); }),
                                        name.end());
                             return name;
                         });

TEST_F(AccessLoadTest, ProgressNamesEachTableAndView) {
    GetStatus().ShowStatus(1, FrameText(u"Quorvane - Loading Database..."));
    ASSERT_EQ(Load(Copy("ASampleDatabase.accdb")), 0) << test::Utf8(State().gProjErr);
    const std::vector<std::u16string> lines = ProgressLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), u"Loading Database Tables...");
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading Table Asset Items..."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading Database Views..."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), u"Loading View qryCostsSummedByOwner..."), lines.end());
    // Every definition counts, taken or not, so the bar ends full.
    EXPECT_EQ(mHost.Calls(host::HostCallKind::ProgressPercent).back().percent, 100);
}

TEST_F(AccessLoadTest, DynamicModeThenSingleTablesDeriveViewKeysOverTheirFields) {
    const auto file = Copy("nwind.mdb");
    CurrentLoadSettings().dynamicLoadDB = true;
    ASSERT_EQ(Load(file), 0) << test::Utf8(State().gProjErr);
    QelTable* view = Table(u"Orders Qry");
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->TblLoaded());
    EXPECT_EQ(view->Fields()->Count(), 0);
    EXPECT_FALSE(view->TblSQL().empty());
    EXPECT_TRUE(view->TblUpdatable());
    EXPECT_EQ(view->TblKey(), u""); // no fields yet to carry it
    EXPECT_FALSE(Table(u"Orders")->TblLoaded());

    // The stored settings stay those of the full load.
    mDatabase->SetDBQuoteS(u"<");
    for (std::u16string_view name : {u"Customers", u"Orders", u"Orders Qry"}) {
        ASSERT_EQ(Load(file, u"", name), 0) << test::Utf8(State().gProjErr);
    }
    EXPECT_EQ(mDatabase->DBQuoteS(), u"<");
    EXPECT_TRUE(Table(u"Orders")->TblLoaded());
    EXPECT_EQ(Table(u"Orders")->TblKey(), u"OrderID");
    EXPECT_TRUE(view->TblLoaded());
    EXPECT_EQ(view->TblKey(), u"OrderID");
    EXPECT_FALSE(Table(u"Products")->TblLoaded());
}

TEST_F(AccessLoadTest, UnreadableFilesGiveTheEngineErrorText) {
    // A copy cut short, and one with a database password (libmdb would open it with any
    // password at all).
    const auto locked = Copy("nwind.mdb");
    std::string bytes = dao::test::ReadBytes(locked);
    const auto damaged = mTemp / "damaged.mdb";
    dao::test::WriteBytes(damaged, bytes.substr(0, 5000));
    for (std::size_t i = 0; i < 6; ++i) {
        bytes[0x42 + i] = static_cast<char>(bytes[0x42 + i] ^ "Secret"[i]);
    }
    dao::test::WriteBytes(locked, bytes);

    struct Case {
        const char* name;
        std::filesystem::path file;
        std::u16string_view password;
        std::int32_t number;
    };
    const Case cases[] = {
        {"wrong password", locked, u"secret", dao::ErrorNumber::NotValidPassword},
        {"no password", locked, u"", dao::ErrorNumber::NotValidPassword},
        {"damaged", damaged, u"", dao::ErrorNumber::CannotOpenDatabase},
        {"missing", mTemp / "missing.mdb", u"", dao::ErrorNumber::FileNotFound},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        State().gProjErr.clear();
        EXPECT_EQ(Load(row.file, row.password), 1);
        const std::u16string& text = State().gProjErr;
        // No product prefix, and two blanks before a positive number.
        const std::u16string head =
            u"\r\nError #  " + automation::ToString(Variant(row.number)) + u"\r\nGenerated by ";
        EXPECT_EQ(text.substr(0, head.size()), head) << test::Utf8(text);
        EXPECT_NE(text.find(u"\r\nDescription  "), std::u16string::npos);
        EXPECT_NE(text.find(dao::test::PathText(row.file)), std::u16string::npos) << test::Utf8(text);
        EXPECT_EQ(text.substr(text.size() - 2), u"\r\n");
        EXPECT_EQ(Tables().Count(), 0);
    }

    State().gProjErr.clear();
    EXPECT_EQ(Load(locked, u"Secret"), 0) << test::Utf8(State().gProjErr);
    EXPECT_EQ(mDatabase->DBPwd(), u"Secret");

    // Nothing to open is no failure.
    EXPECT_EQ(Load(std::filesystem::path()), 0);
}

} // namespace
} // namespace qv
